#include "platform/libusb/usb_context.h"

#include <libusb.h>

namespace bb {

UsbContext::UsbContext() {
  const int result = libusb_init(&context_);
  if (result != LIBUSB_SUCCESS) {
    context_ = nullptr;
    failure_ = libusb_strerror(result);
  }
}

UsbContext::~UsbContext() {
  if (context_ != nullptr) libusb_exit(context_);
}

bool UsbContext::HasHotplug() const {
  return context_ != nullptr && libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0;
}

void UsbContext::HandleEvents(std::chrono::milliseconds wait) {
  if (context_ == nullptr) return;
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(wait).count();
  timeval timeout{};
  timeout.tv_sec = static_cast<decltype(timeout.tv_sec)>(micros / 1000000);
  timeout.tv_usec = static_cast<decltype(timeout.tv_usec)>(micros % 1000000);
  libusb_handle_events_timeout_completed(context_, &timeout, nullptr);
}

}  // namespace bb
