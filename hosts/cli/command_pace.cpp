#include "command_pace.h"

#include <algorithm>
#include <chrono>

#include "interrupt.h"

namespace bb::cli {

CommandPace::CommandPace(std::uint32_t waitSeconds, VirtualClock* cameraClock, bool mayWait)
    : cameraClock_(cameraClock),
      mayWait_(mayWait),
      wait_(waitSeconds, cameraClock != nullptr ? CameraWait::Now([cameraClock] { return cameraClock->NowMs(); })
                                                : CameraWait::Steady()) {}

// On virtual time a second of the wait passes at each call, so that a camera
// that never comes back costs little real time and Ctrl-C still finds the run
// waiting.
void CommandPace::WaitAWhile() {
  WaitForInterrupt(std::chrono::milliseconds(10));
  if (cameraClock_ == nullptr) return;
  const std::uint64_t left = wait_.LeftMs();
  if (left > 0) cameraClock_->Advance(std::min<std::uint64_t>(left, 1000));
}

bool CommandPace::StopAsked() { return Interrupted(); }

}  // namespace bb::cli
