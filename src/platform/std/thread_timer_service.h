#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/timer_service.h"

namespace bb {

// Periodic timers on one worker thread of the standard library. Fine
// resolution needs no request here.
class ThreadTimerService final : public TimerService {
 public:
  ThreadTimerService();
  ~ThreadTimerService() override;
  ThreadTimerService(const ThreadTimerService&) = delete;
  ThreadTimerService& operator=(const ThreadTimerService&) = delete;

  void BeginFineResolution() override {}
  void EndFineResolution() override {}
  TimerId StartPeriodic(std::uint32_t periodMs, std::function<void()> expiry) override;
  void Kill(TimerId id) override;

 private:
  using TimePoint = std::chrono::steady_clock::time_point;
  struct Timer {
    std::chrono::milliseconds period;
    TimePoint due;
    std::function<void()> expiry;
  };

  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<TimerId, Timer> timers_;
  TimerId nextId_ = 1;
  TimerId running_ = kNoTimer;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace bb
