#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "app/camera_wait.h"
#include "app/run_pace.h"
#include "platform/shared_time.h"

namespace bb {

// The pace of a station's run: it waits on the station's time and ends when
// the station stops its runs. A simulated camera comes back on the station's
// time; any other comes back, or never does, in real time, however fast the
// station's simulated time runs meanwhile.
class StationPace final : public RunPace {
 public:
  StationPace(SharedTime& time, std::function<bool()> stop, std::uint32_t waitSeconds, bool simulatedCamera)
      : time_(time),
        stop_(std::move(stop)),
        wait_(waitSeconds,
              simulatedCamera ? CameraWait::Now([shared = &time] { return shared->NowMs(); }) : CameraWait::Steady()) {}

  bool MayWait() override { return true; }
  bool WaitRanOut() override { return wait_.RanOut(); }
  void WaitAWhile() override { time_.WaitUntil(time_.NowMs() + 1000, stop_); }
  bool StopAsked() override { return stop_(); }

 private:
  SharedTime& time_;
  std::function<bool()> stop_;
  CameraWait wait_;
};

}  // namespace bb
