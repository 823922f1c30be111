#include "platform/virtual/event_time.h"

#include <algorithm>
#include <limits>

namespace bb {

std::uint64_t EventTime::NowMs() {
  std::lock_guard lock(mutex_);
  return nowMs_;
}

std::int64_t EventTime::UtcNowMs() {
  return utcStartMs_ + static_cast<std::int64_t>(NowMs());
}

bool EventTime::WaitUntil(std::uint64_t dueMs, const std::function<bool()>& ready) {
  std::unique_lock lock(mutex_);
  for (;;) {
    const std::uint64_t notifiesBefore = notifies_;
    if (ready) {
      // Asked without the lock, since it takes locks of its own; a Notify
      // meanwhile asks again rather than being lost.
      lock.unlock();
      const bool isReady = ready();
      lock.lock();
      if (isReady) return true;
      if (notifies_ != notifiesBefore) continue;
    }
    if (nowMs_ >= dueMs) return false;
    Waiter waiter{dueMs, static_cast<bool>(ready)};
    waiters_.push_back(&waiter);
    ++waiting_;
    MoveOnWhileAllWait(lock);
    changed_.wait(lock, [&] { return waiter.woken; });
    waiters_.erase(std::find(waiters_.begin(), waiters_.end(), &waiter));
  }
}

void EventTime::Wake(Waiter& waiter) {
  if (waiter.woken) return;
  waiter.woken = true;
  --waiting_;
}

void EventTime::Notify() {
  {
    std::lock_guard lock(mutex_);
    ++notifies_;
    for (Waiter* waiter : waiters_) {
      if (waiter->wakesOnNotify) Wake(*waiter);
    }
  }
  changed_.notify_all();
}

SharedTime::ActionId EventTime::At(std::uint64_t dueMs, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  const ActionId id = nextAction_++;
  actions_.emplace(std::make_pair(std::max(dueMs, nowMs_), id), std::move(action));
  return id;
}

void EventTime::Cancel(ActionId id) {
  std::unique_lock lock(mutex_);
  const auto pending = std::find_if(actions_.begin(), actions_.end(),
                                    [id](const auto& entry) { return entry.first.second == id; });
  if (pending != actions_.end()) {
    actions_.erase(pending);
    return;
  }
  if (runningOn_ == std::this_thread::get_id()) return;
  changed_.wait(lock, [&] { return runningAction_ != id; });
}

void EventTime::Join() {
  std::lock_guard lock(mutex_);
  ++members_;
}

void EventTime::Leave() {
  std::unique_lock lock(mutex_);
  --members_;
  MoveOnWhileAllWait(lock);
}

void EventTime::MoveOnWhileAllWait(std::unique_lock<std::mutex>& lock) {
  while (members_ > 0 && waiting_ == members_ && runningAction_ == kNoAction) {
    std::uint64_t next = std::numeric_limits<std::uint64_t>::max();
    for (const Waiter* waiter : waiters_) {
      if (!waiter->woken) next = std::min(next, waiter->dueMs);
    }
    if (!actions_.empty()) next = std::min(next, actions_.begin()->first.first);
    // Every member waits to be told, and nothing in time will tell it.
    if (next == std::numeric_limits<std::uint64_t>::max()) return;
    nowMs_ = std::max(nowMs_, next);
    // Actions due now run before the waits due now end: a watchdog fires
    // before the read that it cuts short goes on.
    if (!actions_.empty() && actions_.begin()->first.first <= nowMs_) {
      auto due = actions_.extract(actions_.begin());
      runningAction_ = due.key().second;
      runningOn_ = std::this_thread::get_id();
      lock.unlock();
      due.mapped()();
      lock.lock();
      runningAction_ = kNoAction;
      runningOn_ = {};
      changed_.notify_all();
      continue;
    }
    for (Waiter* waiter : waiters_) {
      if (waiter->dueMs <= nowMs_) Wake(*waiter);
    }
    changed_.notify_all();
  }
}

}  // namespace bb
