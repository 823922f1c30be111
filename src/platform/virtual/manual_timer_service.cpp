#include "platform/virtual/manual_timer_service.h"

#include <algorithm>

namespace bb {

ManualTimerService::ManualTimerService(VirtualClock& clock) : clock_(clock) {
  clock_.OnAdvance([this](std::uint64_t nowMs) { RunDue(nowMs); });
}

TimerService::TimerId ManualTimerService::StartPeriodic(std::uint32_t periodMs,
                                                        std::function<void()> expiry) {
  const TimerId id = nextId_++;
  const std::uint32_t period = std::max<std::uint32_t>(periodMs, 1);
  timers_[id] = Timer{period, clock_.NowMs() + period, std::move(expiry)};
  return id;
}

void ManualTimerService::Fire(TimerId id) {
  auto timer = timers_.find(id);
  if (timer == timers_.end()) return;
  std::function<void()> expiry = timer->second.expiry;
  expiry();
}

void ManualTimerService::RunDue(std::uint64_t nowMs) {
  // An expiry may kill timers, so look each one up again after every call.
  for (bool fired = true; fired;) {
    fired = false;
    for (auto& [id, timer] : timers_) {
      if (timer.dueMs > nowMs) continue;
      timer.dueMs += timer.periodMs;
      const TimerId firing = id;
      Fire(firing);
      fired = true;
      break;
    }
  }
}

}  // namespace bb
