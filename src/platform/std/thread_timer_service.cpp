#include "platform/std/thread_timer_service.h"

#include <algorithm>

namespace bb {

ThreadTimerService::ThreadTimerService() : worker_([this] { Run(); }) {}

ThreadTimerService::~ThreadTimerService() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

TimerService::TimerId ThreadTimerService::StartPeriodic(std::uint32_t periodMs,
                                                        std::function<void()> expiry) {
  std::lock_guard lock(mutex_);
  const TimerId id = nextId_++;
  if (nextId_ == kNoTimer) nextId_ = 1;
  const auto period = std::chrono::milliseconds(std::max<std::uint32_t>(periodMs, 1));
  timers_[id] = Timer{period, std::chrono::steady_clock::now() + period, std::move(expiry)};
  changed_.notify_all();
  return id;
}

void ThreadTimerService::Kill(TimerId id) {
  std::unique_lock lock(mutex_);
  timers_.erase(id);
  changed_.notify_all();
  // An expiry may kill its own timer; anyone else waits until it has finished.
  if (std::this_thread::get_id() != worker_.get_id()) {
    changed_.wait(lock, [&] { return running_ != id; });
  }
}

void ThreadTimerService::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (timers_.empty()) {
      changed_.wait(lock);
      continue;
    }
    auto next = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
      return a.second.due < b.second.due;
    });
    // A copy: the timer may be killed while this thread waits.
    const TimePoint due = next->second.due;
    if (std::chrono::steady_clock::now() < due) {
      changed_.wait_until(lock, due);
      continue;
    }
    const TimerId id = next->first;
    next->second.due += next->second.period;
    std::function<void()> expiry = next->second.expiry;
    running_ = id;
    lock.unlock();
    expiry();
    lock.lock();
    running_ = kNoTimer;
    changed_.notify_all();
  }
}

}  // namespace bb
