#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace bb {

// How long a run has waited for its camera to come back after its restart,
// against its limit, on whatever time the run's camera comes back in.
class CameraWait {
 public:
  // Milliseconds on that time.
  using Now = std::function<std::uint64_t()>;
  CameraWait(std::uint32_t limitSeconds, Now now)
      : limitMs_(std::uint64_t{limitSeconds} * 1000), now_(std::move(now)) {}

  // The machine's steady clock: a real camera comes back in real time.
  static Now Steady();

  // The wait begins with the first call.
  bool RanOut();
  // What is left of the wait once it began; nothing before.
  std::uint64_t LeftMs() const;

 private:
  std::uint64_t limitMs_;
  Now now_;
  std::optional<std::uint64_t> beganMs_;
};

}  // namespace bb
