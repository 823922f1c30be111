#pragma once

#include "platform/clock.h"

namespace bb {

// Sleeps with a 1 ms timer resolution held, so that the 1 ms pauses between bulk
// chunks last 1 ms and not a scheduler tick of 15.6 ms.
class WinClock final : public Clock {
 public:
  void SleepMs(std::uint32_t ms) override;
};

}  // namespace bb
