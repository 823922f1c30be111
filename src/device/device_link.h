#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include <memory>

#include "device/camera_binding.h"
#include "device/read_watchdog.h"
#include "device/usb_pipes.h"
#include "platform/clock.h"
#include "platform/device_transport.h"
#include "platform/prompts.h"
#include "platform/timer_service.h"

namespace bb {

// The filter's verdict on a request: kSend, or a result to return without I/O.
int CommandFilter(std::uint8_t bRequest, std::uint16_t wValue);

// Vendor requests through the filter, bulk writes with the camera's pacing, and
// the bulk-read guard. Everything but the guard's expiry runs on the
// user-interface thread and blocks it.
class DeviceLink {
 public:
  static constexpr std::uint32_t kMaxChunk = 0x10000;

  DeviceLink(DeviceTransport& transport, Clock& clock, TimerService& timers, Prompts& prompts);

  // Each creates its own UsbPipes object; they return the filter's result, 0 or
  // 22 for any failure below them.
  int VendorIn(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex,
               std::uint16_t wLength, std::span<std::uint8_t> buffer);
  int VendorOut(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex,
                std::uint16_t wLength, std::span<const std::uint8_t> buffer);
  int VendorNoData(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex);

  // Writes `total` bytes of `source` to the bulk-out pipe in pieces of `chunk`
  // (1 to 0x10000). Returns 0, 8, 21, 24 or 25; -1 for arguments out of range.
  int BulkWrite(std::uint32_t total, std::uint32_t chunk, std::span<const std::uint8_t> source);

  // Guards a bulk read pending on `read`: past the delay the read is
  // cancelled, and Disarm shows the code's box.
  void ArmWatchdog(std::uint32_t delayMs, int code, DeviceTransport::Handle read) {
    watchdog_.Arm(delayMs, code, read);
  }
  void DisarmWatchdog() { watchdog_.Disarm(); }

  int IspMessageBox(int code, std::string_view text);

  // A UsbPipes object on this session's camera; null when it cannot be
  // allocated. Every operation of the session gets its pipes here.
  std::unique_ptr<UsbPipes> NewPipes() { return NewUsbPipes(transport_, &binding_); }
  CameraBinding& Binding() { return binding_; }
  // True when an interface that arrived under `interfacePath` is the camera
  // the session is bound to (the path is compared without regard to case, as
  // Windows names one interface in either), or, for an arrival without a path,
  // when that camera is on the bus; true when nothing is bound. An arrival of
  // another camera must not end a run's wait.
  bool IsBoundCamera(const std::string& interfacePath);

  DeviceTransport& Transport() { return transport_; }
  Clock& GetClock() { return clock_; }

 private:
  DeviceTransport& transport_;
  Clock& clock_;
  Prompts& prompts_;
  CameraBinding binding_;
  ReadWatchdog watchdog_;
};

}  // namespace bb
