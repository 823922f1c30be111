#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace bb {

// Simulated time. A sleep never blocks: it is recorded and moves the time on.
// Time that passes without a sleep of the tool (a stalled transfer of the
// simulated camera) goes through Advance and is not recorded as a sleep.
class VirtualClock final : public Clock {
 public:
  using Listener = std::function<void(std::uint64_t nowMs)>;

  void SleepMs(std::uint32_t ms) override;
  void Advance(std::uint64_t ms);
  // The time of day moves with the simulated time, from a start that the host
  // may set (1970-01-01 00:00 UTC unless it does).
  std::int64_t UtcNowMs() override { return utcStartMs_ + static_cast<std::int64_t>(nowMs_); }
  void SetUtcStart(std::int64_t utcMs) { utcStartMs_ = utcMs; }

  std::uint64_t NowMs() const { return nowMs_; }
  const std::vector<std::uint32_t>& Sleeps() const { return sleeps_; }
  std::uint64_t SleptMs() const;
  void ClearSleeps() { sleeps_.clear(); }

  // Called after every move of the time, with the new time.
  void OnAdvance(Listener listener) { listeners_.push_back(std::move(listener)); }

 private:
  std::uint64_t nowMs_ = 0;
  std::int64_t utcStartMs_ = 0;
  std::vector<std::uint32_t> sleeps_;
  std::vector<Listener> listeners_;
};

}  // namespace bb
