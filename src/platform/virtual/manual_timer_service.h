#pragma once

#include <cstdint>
#include <map>

#include "platform/timer_service.h"
#include "platform/virtual/virtual_clock.h"

namespace bb {

// Timers on the virtual clock. Expiries run synchronously, on whichever thread
// moves the clock on, when the time passes their due time; tests can also fire
// them by hand. It keeps count of the fine-resolution requests so that tests
// can see them balanced.
class ManualTimerService final : public TimerService {
 public:
  explicit ManualTimerService(VirtualClock& clock);

  void BeginFineResolution() override { ++fineResolutionHeld_; }
  void EndFineResolution() override { --fineResolutionHeld_; }
  TimerId StartPeriodic(std::uint32_t periodMs, std::function<void()> expiry) override;
  void Kill(TimerId id) override { timers_.erase(id); }

  // Runs the expiry of a live timer now, as its thread would.
  void Fire(TimerId id);

  std::size_t LiveTimers() const { return timers_.size(); }
  int FineResolutionHeld() const { return fineResolutionHeld_; }
  std::uint32_t TimersStarted() const { return nextId_ - 1; }

 private:
  struct Timer {
    std::uint32_t periodMs;
    std::uint64_t dueMs;
    std::function<void()> expiry;
  };

  void RunDue(std::uint64_t nowMs);

  VirtualClock& clock_;
  std::map<TimerId, Timer> timers_;
  TimerId nextId_ = 1;
  int fineResolutionHeld_ = 0;
};

}  // namespace bb
