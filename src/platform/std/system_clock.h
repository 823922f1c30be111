#pragma once

#include "platform/clock.h"

namespace bb {

// Sleeps for real.
class SystemClock final : public Clock {
 public:
  void SleepMs(std::uint32_t ms) override;
};

}  // namespace bb
