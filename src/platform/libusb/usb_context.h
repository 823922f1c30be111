#pragma once

#include <chrono>
#include <string>

struct libusb_context;

namespace bb {

// One libusb context for the transport and the arrival watch. libusb calls it
// thread-safe; this program drives its events from the thread that runs the
// camera's operations, and only cancels from others.
class UsbContext {
 public:
  UsbContext();
  ~UsbContext();
  UsbContext(const UsbContext&) = delete;
  UsbContext& operator=(const UsbContext&) = delete;

  // nullptr when libusb could not start (no USB on this system); every device
  // operation then finds no camera.
  libusb_context* Get() const { return context_; }
  // libusb's reason when it could not start.
  const std::string& Failure() const { return failure_; }
  bool HasHotplug() const;

  // Runs libusb's pending events (completions, arrivals) for at most `wait`.
  void HandleEvents(std::chrono::milliseconds wait);

 private:
  libusb_context* context_ = nullptr;
  std::string failure_;
};

}  // namespace bb
