#pragma once

#include <cstdint>
#include <functional>

namespace bb {

// Periodic timers whose expiry runs on a thread of the service, never on the
// thread that started them (the Windows back end uses multimedia timers).
class TimerService {
 public:
  using TimerId = std::uint32_t;
  static constexpr TimerId kNoTimer = 0;

  virtual ~TimerService() = default;

  // Asks for (and gives back) a 1 ms timer resolution while a timer runs.
  virtual void BeginFineResolution() = 0;
  virtual void EndFineResolution() = 0;

  // Starts a periodic timer; `expiry` runs every periodMs until the timer is
  // killed. Returns kNoTimer when no timer can be started.
  virtual TimerId StartPeriodic(std::uint32_t periodMs, std::function<void()> expiry) = 0;

  // Stops a timer. May be called from the timer's own expiry. Called from any
  // other thread, it returns only when no expiry of that timer is running, so the
  // caller may release what the expiry uses.
  virtual void Kill(TimerId id) = 0;
};

}  // namespace bb
