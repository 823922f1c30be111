#pragma once

#include "platform/timer_service.h"

namespace bb {

// Periodic multimedia timers. Their expiries run on the multimedia timer thread.
//
// timeKillEvent neither waits for an expiry that is running nor promises that none
// starts after it returns, so the bookkeeping that makes Kill keep its contract
// lives beside the service, in a table that outlives every service: a late
// expiry finds its timer gone and does nothing.
class WinTimerService final : public TimerService {
 public:
  WinTimerService() = default;
  // Kills the timers of this service that are still running.
  ~WinTimerService() override;
  WinTimerService(const WinTimerService&) = delete;
  WinTimerService& operator=(const WinTimerService&) = delete;

  void BeginFineResolution() override;
  void EndFineResolution() override;
  TimerId StartPeriodic(std::uint32_t periodMs, std::function<void()> expiry) override;
  void Kill(TimerId id) override;
};

}  // namespace bb
