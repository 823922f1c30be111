#include "platform/virtual/virtual_clock.h"

#include <numeric>

namespace bb {

void VirtualClock::SleepMs(std::uint32_t ms) {
  sleeps_.push_back(ms);
  Advance(ms);
}

void VirtualClock::Advance(std::uint64_t ms) {
  nowMs_ += ms;
  for (const Listener& listener : listeners_) listener(nowMs_);
}

std::uint64_t VirtualClock::SleptMs() const {
  return std::accumulate(sleeps_.begin(), sleeps_.end(), std::uint64_t{0});
}

}  // namespace bb
