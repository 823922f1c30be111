#include "platform/std/scaled_time.h"

#include <algorithm>

namespace bb {

ScaledTime::ScaledTime(double scale)
    : scale_(scale),
      start_(Steady::now()),
      utcStartMs_(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count()),
      worker_([this] { RunActions(); }) {}

ScaledTime::~ScaledTime() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  actionsChanged_.notify_all();
  worker_.join();
}

std::uint64_t ScaledTime::NowMs() {
  const auto real = std::chrono::duration<double, std::milli>(Steady::now() - start_).count();
  return static_cast<std::uint64_t>(real * scale_);
}

std::int64_t ScaledTime::UtcNowMs() { return utcStartMs_ + static_cast<std::int64_t>(NowMs()); }

ScaledTime::Steady::time_point ScaledTime::RealPointOf(std::uint64_t dueMs) const {
  const auto real = std::chrono::duration<double, std::milli>(static_cast<double>(dueMs) / scale_);
  return start_ + std::chrono::ceil<Steady::duration>(real);
}

bool ScaledTime::WaitUntil(std::uint64_t dueMs, const std::function<bool()>& ready) {
  // A pause waits for nothing that another thread does: it holds no lock, so
  // the sessions that pause between their transfers never wait on each other.
  if (!ready) {
    std::this_thread::sleep_until(RealPointOf(dueMs));
    return false;
  }
  std::unique_lock lock(mutex_);
  for (;;) {
    const std::uint64_t notifiesBefore = notifies_;
    if (ready) {
      lock.unlock();
      const bool isReady = ready();
      lock.lock();
      if (isReady) return true;
      if (notifies_ != notifiesBefore) continue;
    }
    if (NowMs() >= dueMs) return false;
    noticed_.wait_until(lock, RealPointOf(dueMs), [&] { return notifies_ != notifiesBefore && ready; });
  }
}

void ScaledTime::Notify() {
  {
    std::lock_guard lock(mutex_);
    ++notifies_;
  }
  noticed_.notify_all();
}

SharedTime::ActionId ScaledTime::At(std::uint64_t dueMs, std::function<void()> action) {
  ActionId id = kNoAction;
  {
    std::lock_guard lock(mutex_);
    id = nextAction_++;
    actions_.emplace(std::make_pair(dueMs, id), std::move(action));
  }
  actionsChanged_.notify_all();
  return id;
}

void ScaledTime::Cancel(ActionId id) {
  std::unique_lock lock(mutex_);
  std::erase_if(actions_, [id](const auto& entry) { return entry.first.second == id; });
  if (std::this_thread::get_id() == worker_.get_id()) return;
  actionsChanged_.wait(lock, [&] { return runningAction_ != id; });
}

void ScaledTime::RunActions() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (actions_.empty()) {
      actionsChanged_.wait(lock);
      continue;
    }
    const std::uint64_t dueMs = actions_.begin()->first.first;
    if (NowMs() < dueMs) {
      actionsChanged_.wait_until(lock, RealPointOf(dueMs));
      continue;
    }
    auto due = actions_.extract(actions_.begin());
    runningAction_ = due.key().second;
    lock.unlock();
    due.mapped()();
    lock.lock();
    runningAction_ = kNoAction;
    actionsChanged_.notify_all();
  }
}

}  // namespace bb
