#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/shared_time.h"

namespace bb {

// Real time, `scale` times as fast as the wall clock (1 for a real station):
// a wait of a minute takes a minute divided by the scale. Actions run on a
// thread of the time's own.
class ScaledTime final : public SharedTime {
 public:
  explicit ScaledTime(double scale);
  ~ScaledTime() override;
  ScaledTime(const ScaledTime&) = delete;
  ScaledTime& operator=(const ScaledTime&) = delete;

  std::uint64_t NowMs() override;
  std::int64_t UtcNowMs() override;
  bool WaitUntil(std::uint64_t dueMs, const std::function<bool()>& ready) override;
  void Notify() override;
  ActionId At(std::uint64_t dueMs, std::function<void()> action) override;
  void Cancel(ActionId id) override;
  void Join() override {}
  void Leave() override {}

 private:
  using Steady = std::chrono::steady_clock;
  Steady::time_point RealPointOf(std::uint64_t dueMs) const;
  void RunActions();

  const double scale_;
  const Steady::time_point start_;
  const std::int64_t utcStartMs_;
  std::mutex mutex_;
  // Waiters hear of notices only; the actions' worker (and a Cancel waiting
  // for it) of actions only: a session that arms its watchdog for every read
  // wakes no one else.
  std::condition_variable noticed_;
  std::condition_variable actionsChanged_;
  std::uint64_t notifies_ = 0;
  std::map<std::pair<std::uint64_t, ActionId>, std::function<void()>> actions_;
  ActionId nextAction_ = 1;
  ActionId runningAction_ = kNoAction;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace bb
