#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/device_transport.h"
#include "platform/timer_service.h"

namespace bb {

// Guards a bulk read. If the read has not finished when the delay runs out,
// the expiry (on the timer's thread) cancels it: the read then fails, instead
// of holding the user-interface thread for good. The timer keeps firing, and
// cancelling, until the reader disarms it, so a read that the reader issues
// only after the first cancel ends too. The code is reported once per arming,
// by Disarm on the reading thread and not by the expiry: a modal box on the
// timer's thread would stall every other timer of the process until closed.
//
// The expiry and the reading thread meet under one lock. Once Disarm has
// returned, no expiry touches the read's handle, which the reader may then
// close and the system may hand out again.
class ReadWatchdog {
 public:
  ReadWatchdog(TimerService& timers, DeviceTransport& transport,
               std::function<void(int code)> report);
  ~ReadWatchdog();
  ReadWatchdog(const ReadWatchdog&) = delete;
  ReadWatchdog& operator=(const ReadWatchdog&) = delete;

  // Guards the read pending on `read`. Does nothing while armed: the first
  // arming's delay, code and read stay in force.
  void Arm(std::uint32_t delayMs, int code, DeviceTransport::Handle read);
  // Ends the guard, and reports the code if the delay ran out meanwhile.
  void Disarm();
  // Armed, and the delay has run out.
  bool Expired() const;
  bool Armed() const;

 private:
  // Ends the guard; the code of an expiry that came first, if one did.
  std::optional<int> Stop();
  void Expire(int code);

  TimerService& timers_;
  DeviceTransport& transport_;
  std::function<void(int)> report_;
  mutable std::mutex mutex_;
  TimerService::TimerId timerId_ = TimerService::kNoTimer;
  DeviceTransport::Handle read_ = DeviceTransport::kInvalidHandle;
  std::optional<int> expired_;
};

}  // namespace bb
