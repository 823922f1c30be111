#pragma once

#include <cstdint>

namespace bb {

// The pauses that the procedures make. Called on the user-interface thread,
// which is blocked for the whole pause.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void SleepMs(std::uint32_t ms) = 0;
};

}  // namespace bb
