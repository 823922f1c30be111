#pragma once

#include <cstdint>

#include "app/camera_wait.h"
#include "app/run_pace.h"
#include "platform/virtual/virtual_clock.h"

namespace bb::cli {

// The pace of a run of the command line: Ctrl-C ends it where its camera is
// safe, and --wait limits the wait for the camera's return. A camera whose
// time is virtual too (the simulated camera on --virtual-clock) is waited for
// on that clock, a second of it at each wait; any other in real time.
class CommandPace final : public RunPace {
 public:
  // `cameraClock`: the virtual clock the camera comes back on; null: real
  // time. `mayWait`: false for a replay, whose camera comes back only as
  // recorded.
  CommandPace(std::uint32_t waitSeconds, VirtualClock* cameraClock, bool mayWait);

  bool MayWait() override { return mayWait_; }
  bool WaitRanOut() override { return wait_.RanOut(); }
  void WaitAWhile() override;
  bool StopAsked() override;

 private:
  VirtualClock* cameraClock_;
  bool mayWait_;
  CameraWait wait_;
};

}  // namespace bb::cli
