#pragma once

#include <chrono>
#include <cstdint>

namespace bb {

// The pauses that the procedures make, and the time of day that records of
// runs carry. Called on the thread of the session that owns the clock, which
// is blocked for the whole pause.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void SleepMs(std::uint32_t ms) = 0;

  // Milliseconds since 1970-01-01 00:00 UTC.
  virtual std::int64_t UtcNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace bb
