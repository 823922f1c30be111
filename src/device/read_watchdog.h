#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/timer_service.h"

namespace bb {

// Guards a bulk read: if the read has not finished when the delay runs out, the
// expiry reports the code once (on the timer's thread). It never cancels the
// read; the read's own result decides the operation.
//
// The timer identifier is the one value shared by the two threads. Both sides
// take it by exchanging it with 0, so exactly one of them kills the timer and
// gives back the fine resolution, even when the read ends as the timer fires.
class ReadWatchdog {
 public:
  ReadWatchdog(TimerService& timers, std::function<void(int code)> report);
  ~ReadWatchdog();
  ReadWatchdog(const ReadWatchdog&) = delete;
  ReadWatchdog& operator=(const ReadWatchdog&) = delete;

  // Does nothing while armed: the first arming's delay and code stay in force.
  void Arm(std::uint32_t delayMs, int code);
  void Disarm();
  bool Armed() const { return timerId_.load() != TimerService::kNoTimer; }

 private:
  void Expire(int code);

  TimerService& timers_;
  std::function<void(int)> report_;
  std::atomic<TimerService::TimerId> timerId_{TimerService::kNoTimer};
};

}  // namespace bb
