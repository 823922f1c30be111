#include "device/read_watchdog.h"

#include <utility>

namespace bb {

ReadWatchdog::ReadWatchdog(TimerService& timers, std::function<void(int)> report)
    : timers_(timers), report_(std::move(report)) {}

ReadWatchdog::~ReadWatchdog() { Disarm(); }

void ReadWatchdog::Arm(std::uint32_t delayMs, int code) {
  if (Armed()) return;
  timers_.BeginFineResolution();
  const TimerService::TimerId id = timers_.StartPeriodic(delayMs, [this, code] { Expire(code); });
  if (id == TimerService::kNoTimer) {
    timers_.EndFineResolution();
    return;
  }
  timerId_.store(id);
}

void ReadWatchdog::Disarm() {
  const TimerService::TimerId id = timerId_.exchange(TimerService::kNoTimer);
  if (id == TimerService::kNoTimer) return;
  timers_.Kill(id);
  timers_.EndFineResolution();
}

void ReadWatchdog::Expire(int code) {
  const TimerService::TimerId id = timerId_.exchange(TimerService::kNoTimer);
  if (id == TimerService::kNoTimer) return;
  // The timer is periodic; killing it here makes it fire once per arming.
  timers_.Kill(id);
  timers_.EndFineResolution();
  report_(code);
}

}  // namespace bb
