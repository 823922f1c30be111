#pragma once

#include <cstdint>
#include <memory>

struct libusb_device;
struct libusb_device_handle;

namespace bb {

// Why a camera could not be opened.
enum class UsbOpenFailure {
  kNone,
  kGone,              // no longer on the bus
  kAccessDenied,      // the user may not open its device node
  kNoBulkInterface,   // no interface with one bulk-in and one bulk-out endpoint
  kClaimedElsewhere,  // another program holds that interface
  kOther,
};

// An open camera whose bulk interface this program has claimed; the claim is
// released and the device closed when the object goes.
class UsbCameraHandle {
 public:
  static std::unique_ptr<UsbCameraHandle> Open(libusb_device* device, UsbOpenFailure& failure);
  ~UsbCameraHandle();
  UsbCameraHandle(const UsbCameraHandle&) = delete;
  UsbCameraHandle& operator=(const UsbCameraHandle&) = delete;

  libusb_device_handle* Get() const { return handle_; }
  std::uint8_t BulkIn() const { return bulkIn_; }
  std::uint8_t BulkOut() const { return bulkOut_; }

 private:
  UsbCameraHandle(libusb_device_handle* handle, int interfaceNumber, std::uint8_t bulkIn,
                  std::uint8_t bulkOut)
      : handle_(handle), interface_(interfaceNumber), bulkIn_(bulkIn), bulkOut_(bulkOut) {}

  libusb_device_handle* handle_;
  int interface_;
  std::uint8_t bulkIn_;
  std::uint8_t bulkOut_;
};

}  // namespace bb
