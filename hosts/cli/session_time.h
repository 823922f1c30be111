#pragma once

#include <memory>

#include "cli_options.h"
#include "platform/camera_link.h"
#include "platform/clock.h"
#include "platform/timer_service.h"
#include "platform/virtual/virtual_clock.h"

namespace bb::cli {

// The clock and timers of one session of the command line: the machine's,
// or with --virtual-clock simulated ones.
class SessionTime {
 public:
  explicit SessionTime(const Options& options);

  Clock& SessionClock() { return *clock_; }
  TimerService& Timers() { return *timers_; }
  // The simulated clock; null on real time.
  VirtualClock* Virtual() { return virtual_; }
  // Time a simulated camera takes of its own, as a stalled transfer does.
  CameraWorld::CameraTime CameraTime();

 private:
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<TimerService> timers_;
  VirtualClock* virtual_ = nullptr;
};

}  // namespace bb::cli
