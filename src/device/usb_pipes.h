#pragma once

#include <array>
#include <memory>
#include <string>

#include "device/camera_binding.h"
#include "platform/device_transport.h"

namespace bb {

// Finds the camera and opens one of its pipes for a single operation. Nothing
// about the camera is kept between operations: a camera that re-enumerated is
// simply found again under its new path. With a binding, the search sees only
// the bound camera's location, and tells the binding where it found one and
// that camera's serial number.
class UsbPipes {
 public:
  // Vendor requests and bulk reads go through slot 1, bulk writes through
  // slot 2; slots 0 and 3 are never opened.
  static constexpr int kRequestSlot = 1;
  static constexpr int kBulkOutSlot = 2;
  // The driver's path buffer holds 255 characters and the terminator.
  static constexpr std::size_t kDevicePathCapacity = 255;

  explicit UsbPipes(DeviceTransport& transport, CameraBinding* binding = nullptr);
  virtual ~UsbPipes() = default;
  UsbPipes(const UsbPipes&) = delete;
  UsbPipes& operator=(const UsbPipes&) = delete;

  // Opens the pipe of the given slot on the camera found now. Returns the
  // handle, which the caller closes, or kInvalidHandle.
  DeviceTransport::Handle OpenPipe(int slot);

  // Searches the class; the interface enumerated last decides, among those at
  // the bound location when one is bound. Returns an open handle of that
  // interface (a presence test) or kInvalidHandle, and leaves the interface
  // path in `path`.
  DeviceTransport::Handle FindDevice(const Guid& interfaceClass, std::string& path);

  const std::array<std::string, 4>& PipeNames() const { return pipeNames_; }
  const std::string& DevicePath() const { return devicePath_; }
  DeviceTransport& Transport() { return transport_; }

 private:
  DeviceTransport& transport_;
  CameraBinding* binding_;
  std::array<std::string, 4> pipeNames_;
  std::string devicePath_;
};

// Creates a UsbPipes object; null when it cannot be allocated.
std::unique_ptr<UsbPipes> NewUsbPipes(DeviceTransport& transport, CameraBinding* binding = nullptr);

}  // namespace bb
