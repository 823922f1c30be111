#include "platform/shared_time_timers.h"

#include <algorithm>
#include <vector>

namespace bb {

SharedTimeTimers::~SharedTimeTimers() {
  std::vector<TimerId> live;
  {
    std::lock_guard lock(mutex_);
    for (const auto& entry : timers_) live.push_back(entry.first);
  }
  for (const TimerId id : live) Kill(id);
}

TimerService::TimerId SharedTimeTimers::StartPeriodic(std::uint32_t periodMs, std::function<void()> expiry) {
  const std::uint32_t period = std::max<std::uint32_t>(periodMs, 1);
  TimerId id = kNoTimer;
  {
    std::lock_guard lock(mutex_);
    id = nextId_++;
    timers_[id] = Timer{period, std::move(expiry), SharedTime::kNoAction};
  }
  ScheduleNext(id, time_.NowMs() + period);
  return id;
}

void SharedTimeTimers::ScheduleNext(TimerId id, std::uint64_t dueMs) {
  std::lock_guard lock(mutex_);
  const auto timer = timers_.find(id);
  if (timer == timers_.end()) return;
  timer->second.next = time_.At(dueMs, [this, id, dueMs] {
    std::function<void()> expiry;
    std::uint32_t period = 0;
    {
      std::lock_guard inner(mutex_);
      const auto alive = timers_.find(id);
      if (alive == timers_.end()) return;
      expiry = alive->second.expiry;
      period = alive->second.periodMs;
    }
    expiry();
    ScheduleNext(id, dueMs + period);
  });
}

void SharedTimeTimers::Kill(TimerId id) {
  SharedTime::ActionId next = SharedTime::kNoAction;
  {
    std::lock_guard lock(mutex_);
    const auto timer = timers_.find(id);
    if (timer == timers_.end()) return;
    next = timer->second.next;
    timers_.erase(timer);
  }
  // Returns once an expiry running elsewhere has finished.
  time_.Cancel(next);
}

}  // namespace bb
