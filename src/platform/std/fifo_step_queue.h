#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "platform/step_queue.h"

namespace bb {

// A plain first-in, first-out step queue for hosts that pump it themselves.
class FifoStepQueue final : public StepQueue {
 public:
  void Post(std::uint32_t step) override { steps_.push_back(step); }

  std::optional<std::uint32_t> Take() {
    if (steps_.empty()) return std::nullopt;
    const std::uint32_t step = steps_.front();
    steps_.pop_front();
    return step;
  }
  bool Empty() const { return steps_.empty(); }

 private:
  std::deque<std::uint32_t> steps_;
};

}  // namespace bb
