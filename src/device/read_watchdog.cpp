#include "device/read_watchdog.h"

#include <utility>

namespace bb {

ReadWatchdog::ReadWatchdog(TimerService& timers, DeviceTransport& transport,
                           std::function<void(int)> report)
    : timers_(timers), transport_(transport), report_(std::move(report)) {}

// A guard still armed at the end has nobody left to show its box to.
ReadWatchdog::~ReadWatchdog() { Stop(); }

bool ReadWatchdog::Armed() const {
  std::lock_guard lock(mutex_);
  return timerId_ != TimerService::kNoTimer;
}

bool ReadWatchdog::Expired() const {
  std::lock_guard lock(mutex_);
  return timerId_ != TimerService::kNoTimer && expired_.has_value();
}

void ReadWatchdog::Arm(std::uint32_t delayMs, int code, DeviceTransport::Handle read) {
  // Under the lock, so that an expiry that comes at once finds the timer
  // and the read in place.
  std::lock_guard lock(mutex_);
  if (timerId_ != TimerService::kNoTimer) return;
  timers_.BeginFineResolution();
  const TimerService::TimerId id = timers_.StartPeriodic(delayMs, [this, code] { Expire(code); });
  if (id == TimerService::kNoTimer) {
    timers_.EndFineResolution();
    return;
  }
  timerId_ = id;
  read_ = read;
  expired_.reset();
}

void ReadWatchdog::Disarm() {
  if (const std::optional<int> code = Stop()) report_(*code);
}

std::optional<int> ReadWatchdog::Stop() {
  TimerService::TimerId id = TimerService::kNoTimer;
  std::optional<int> code;
  {
    std::lock_guard lock(mutex_);
    id = std::exchange(timerId_, TimerService::kNoTimer);
    read_ = DeviceTransport::kInvalidHandle;
    code = std::exchange(expired_, std::nullopt);
  }
  // Not under the lock: killing waits for an expiry that is running, and
  // that expiry waits for the lock.
  if (id != TimerService::kNoTimer) {
    timers_.Kill(id);
    timers_.EndFineResolution();
  }
  return code;
}

void ReadWatchdog::Expire(int code) {
  std::lock_guard lock(mutex_);
  if (timerId_ == TimerService::kNoTimer) return;
  if (read_ != DeviceTransport::kInvalidHandle) transport_.CancelPending(read_);
  if (!expired_) expired_ = code;
}

}  // namespace bb
