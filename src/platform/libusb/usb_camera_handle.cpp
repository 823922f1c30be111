#include "platform/libusb/usb_camera_handle.h"

#include <libusb.h>

#include <optional>

namespace bb {

namespace {

struct BulkInterface {
  int number = 0;
  std::uint8_t in = 0;
  std::uint8_t out = 0;
};

// The first interface whose default setting has exactly one bulk endpoint in
// each direction: the camera's data pipes. Other endpoint kinds may sit beside
// them.
std::optional<BulkInterface> FindBulkInterface(libusb_device* device) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS) return std::nullopt;
  std::optional<BulkInterface> found;
  for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
    const libusb_interface& candidate = config->interface[i];
    if (candidate.num_altsetting < 1) continue;
    const libusb_interface_descriptor& setting = candidate.altsetting[0];
    BulkInterface bulk{setting.bInterfaceNumber, 0, 0};
    int ins = 0;
    int outs = 0;
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
      if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      if ((endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
        ++ins;
        bulk.in = endpoint.bEndpointAddress;
      } else {
        ++outs;
        bulk.out = endpoint.bEndpointAddress;
      }
    }
    if (ins == 1 && outs == 1) found = bulk;
  }
  libusb_free_config_descriptor(config);
  return found;
}

UsbOpenFailure FailureOf(int error) {
  switch (error) {
    case LIBUSB_ERROR_ACCESS: return UsbOpenFailure::kAccessDenied;
    case LIBUSB_ERROR_NO_DEVICE: return UsbOpenFailure::kGone;
    case LIBUSB_ERROR_BUSY: return UsbOpenFailure::kClaimedElsewhere;
    default: return UsbOpenFailure::kOther;
  }
}

}  // namespace

std::unique_ptr<UsbCameraHandle> UsbCameraHandle::Open(libusb_device* device, UsbOpenFailure& failure) {
  failure = UsbOpenFailure::kNone;
  const std::optional<BulkInterface> bulk = FindBulkInterface(device);
  if (!bulk) {
    failure = UsbOpenFailure::kNoBulkInterface;
    return nullptr;
  }
  libusb_device_handle* handle = nullptr;
  int result = libusb_open(device, &handle);
  if (result != LIBUSB_SUCCESS) {
    failure = FailureOf(result);
    return nullptr;
  }
  // A kernel driver bound to the interface is set aside while this program
  // holds it and given back on release; where libusb cannot do that, the claim
  // below says whether the interface is free.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  result = libusb_claim_interface(handle, bulk->number);
  if (result != LIBUSB_SUCCESS) {
    libusb_close(handle);
    failure = FailureOf(result);
    return nullptr;
  }
  return std::unique_ptr<UsbCameraHandle>(new UsbCameraHandle(handle, bulk->number, bulk->in, bulk->out));
}

UsbCameraHandle::~UsbCameraHandle() {
  libusb_release_interface(handle_, interface_);
  libusb_close(handle_);
}

}  // namespace bb
