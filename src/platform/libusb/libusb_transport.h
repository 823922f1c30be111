#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/device_transport.h"
#include "platform/libusb/usb_camera_handle.h"
#include "platform/libusb/usb_camera_list.h"
#include "platform/libusb/usb_context.h"
#include "platform/usb_id.h"

struct libusb_device_handle;
struct libusb_transfer;

namespace bb {

// The camera's driver, played by libusb: the cameras are the devices with a
// configured id, each one interface of the camera's class.
//
// "PIPE00" carries the vendor requests (control transfers) and the bulk-in
// endpoint of the camera's bulk interface, "PIPE01" its bulk-out endpoint.
// The first open of a camera, the interface path alone included, opens the
// device and claims that interface; the transport holds both until it goes or
// opens another camera (the same camera back at a new address, after its
// restart), and every open of that camera meanwhile uses that claim. So no
// other program can claim the camera in the middle of a run, and the kernel
// driver that libusb set aside is not handed the interface between requests.
// An interface that another program holds is not usable, as on Windows.
class LibusbTransport final : public DeviceTransport {
 public:
  // USB 2.0 gives a device five seconds to complete a control request with a
  // data stage; a camera that takes longer is not answering.
  static constexpr std::chrono::milliseconds kControlTimeout{5000};
  // One bulk transfer moves at most 64 KiB, milliseconds of work for any
  // camera that is alive. The read watchdog ends a stalled read long before
  // this; it is the last word for a write, which nothing else guards.
  static constexpr std::chrono::milliseconds kBulkTimeout{30000};

  LibusbTransport(UsbContext& context, std::vector<UsbId> ids);
  ~LibusbTransport() override;
  LibusbTransport(const LibusbTransport&) = delete;
  LibusbTransport& operator=(const LibusbTransport&) = delete;

  // Called for a camera that the user has no permission to open, once per
  // interface path.
  void OnAccessDenied(std::function<void(const std::string& path)> notice) {
    accessDenied_ = std::move(notice);
  }
  // Called for a camera whose interface another program holds, once per
  // interface path, with its location (empty when libusb cannot tell it).
  void OnHeldElsewhere(std::function<void(const std::string& path, const std::string& location)> notice) {
    heldElsewhere_ = std::move(notice);
  }
  // Called once, with libusb's reason, when cameras are looked for on a
  // system where libusb could not start.
  void OnUsbUnavailable(std::function<void(const std::string& reason)> notice) {
    usbUnavailable_ = std::move(notice);
  }

  SetHandle OpenInterfaceSet(const Guid& interfaceClass) override;
  EnumResult EnumerateInterface(SetHandle set, std::uint32_t index) override;
  bool ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) override;
  bool ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) override;
  bool ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) override;
  void CloseInterfaceSet(SetHandle set) override;
  Handle Open(const std::string& path) override;
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override;
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override;
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override;
  void CancelPending(Handle handle) override;
  void Close(Handle handle) override;

 private:
  enum class Pipe { kInterface, kRequestsAndBulkIn, kBulkOut };
  struct OpenCamera {
    std::shared_ptr<UsbCameraHandle> camera;
    Pipe pipe = Pipe::kInterface;
  };

  const UsbCameraEntry* EntryAt(SetHandle set, std::uint32_t index) const;
  // Holds the camera at `interfacePath` from now on, letting go of any other;
  // false when it cannot be opened and claimed.
  bool Hold(const std::string& interfacePath);
  OpenCamera* Find(Handle handle, Pipe pipe);
  // One bulk transfer that another thread may cancel; false when it did not
  // complete.
  bool Bulk(Handle handle, libusb_device_handle* device, std::uint8_t endpoint, std::uint8_t* data,
            std::size_t length, std::uint32_t& done);

  UsbContext& context_;
  std::vector<UsbId> ids_;
  std::function<void(const std::string&)> accessDenied_;
  std::function<void(const std::string&, const std::string&)> heldElsewhere_;
  std::function<void(const std::string&)> usbUnavailable_;
  std::set<std::string> deniedPaths_;
  std::set<std::string> heldPaths_;
  // The camera this transport holds open and claimed, and its interface path.
  std::shared_ptr<UsbCameraHandle> held_;
  std::string heldPath_;
  std::map<SetHandle, UsbCameraList> sets_;
  SetHandle nextSet_ = 1;
  std::map<Handle, OpenCamera> cameras_;
  Handle nextHandle_ = 1;

  // The one transfer in flight, the only state that another thread touches.
  std::mutex pendingMutex_;
  Handle pendingHandle_ = kInvalidHandle;
  libusb_transfer* pendingTransfer_ = nullptr;
};

}  // namespace bb
