#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/shared_time.h"
#include "platform/virtual/virtual_clock.h"

namespace bb::cli {

// How long a run has waited for its camera to come back after its restart,
// against the limit of --wait: on the virtual clock when the run has one, else
// on the machine's steady clock.
class CameraWait {
 public:
  CameraWait(std::uint32_t limitSeconds, VirtualClock* virtualClock)
      : limitMs_(std::uint64_t{limitSeconds} * 1000), virtualClock_(virtualClock) {}
  // A station's run waits on the station's time.
  CameraWait(std::uint32_t limitSeconds, SharedTime& sharedTime)
      : limitMs_(std::uint64_t{limitSeconds} * 1000), virtualClock_(nullptr), sharedTime_(&sharedTime) {}

  // The wait begins with the first call, and again after End.
  bool RanOut();
  // On virtual time a second of the wait passes for each call, so that a
  // camera that never comes back costs little real time and Ctrl-C still
  // finds the run waiting.
  void PassASecond();
  void End() { beganMs_.reset(); }

 private:
  std::uint64_t NowMs() const;

  std::uint64_t limitMs_;
  VirtualClock* virtualClock_;
  SharedTime* sharedTime_ = nullptr;
  std::optional<std::uint64_t> beganMs_;
};

}  // namespace bb::cli
