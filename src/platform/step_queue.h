#pragma once

#include <cstdint>

namespace bb {

// Posts a step message to the main window. Steps are delivered later, one at a
// time and in the order posted, on the user-interface thread; posting never runs
// a step at once.
class StepQueue {
 public:
  virtual ~StepQueue() = default;
  virtual void Post(std::uint32_t step) = 0;
};

}  // namespace bb
