#pragma once

#include <map>
#include <mutex>

#include "platform/shared_time.h"
#include "platform/timer_service.h"

namespace bb {

// One session's timers (its read watchdog) on the station's shared time: a
// watchdog fires after five seconds of that time, simulated or real.
class SharedTimeTimers final : public TimerService {
 public:
  explicit SharedTimeTimers(SharedTime& time) : time_(time) {}
  ~SharedTimeTimers() override;
  SharedTimeTimers(const SharedTimeTimers&) = delete;
  SharedTimeTimers& operator=(const SharedTimeTimers&) = delete;

  void BeginFineResolution() override {}
  void EndFineResolution() override {}
  TimerId StartPeriodic(std::uint32_t periodMs, std::function<void()> expiry) override;
  void Kill(TimerId id) override;

 private:
  struct Timer {
    std::uint32_t periodMs;
    std::function<void()> expiry;
    SharedTime::ActionId next;
  };

  void ScheduleNext(TimerId id, std::uint64_t dueMs);

  SharedTime& time_;
  std::mutex mutex_;
  std::map<TimerId, Timer> timers_;
  TimerId nextId_ = 1;
};

}  // namespace bb
