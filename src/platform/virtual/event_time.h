#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/shared_time.h"

namespace bb {

// Simulated time shared by threads, kept as a discrete-event simulation keeps
// it: a thread that takes part either works, which takes no time, or waits;
// once every one of them waits, the time jumps to the earliest moment that one
// of them waits for (or an action is due at), and only those due then go on.
// Actions run on the thread that moved the time.
class EventTime final : public SharedTime {
 public:
  explicit EventTime(std::int64_t utcStartMs = 0) : utcStartMs_(utcStartMs) {}

  std::uint64_t NowMs() override;
  std::int64_t UtcNowMs() override;
  bool WaitUntil(std::uint64_t dueMs, const std::function<bool()>& ready) override;
  void Notify() override;
  ActionId At(std::uint64_t dueMs, std::function<void()> action) override;
  void Cancel(ActionId id) override;
  void Join() override;
  void Leave() override;

 private:
  struct Waiter {
    std::uint64_t dueMs;
    bool wakesOnNotify;
    bool woken = false;
  };

  // With every member waiting, moves the time on to the next moment something
  // is due and wakes what is due then; actions run with the lock let go.
  void MoveOnWhileAllWait(std::unique_lock<std::mutex>& lock);
  void Wake(Waiter& waiter);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t nowMs_ = 0;
  const std::int64_t utcStartMs_;
  int members_ = 0;
  // Members waiting and not yet woken.
  int waiting_ = 0;
  std::uint64_t notifies_ = 0;
  std::vector<Waiter*> waiters_;
  std::map<std::pair<std::uint64_t, ActionId>, std::function<void()>> actions_;
  ActionId nextAction_ = 1;
  // An action runs outside the lock; the time stands still meanwhile.
  ActionId runningAction_ = kNoAction;
  std::thread::id runningOn_;
};

}  // namespace bb
