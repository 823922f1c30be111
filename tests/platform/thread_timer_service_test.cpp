#include "platform/std/thread_timer_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "device/read_watchdog.h"

namespace bb {
namespace {

// These run on real threads: they check the hand-over between the reader and
// the timer's thread, not timing, and wait only for the timer to fire.

TEST(ThreadTimerServiceTest, TheWatchdogFiresOnceOnAnotherThread) {
  ThreadTimerService timers;
  std::promise<std::thread::id> fired;
  std::atomic<int> reports{0};
  ReadWatchdog watchdog(timers, [&](int code) {
    if (reports.fetch_add(1) == 0) fired.set_value(std::this_thread::get_id());
    EXPECT_EQ(code, 27);
  });
  watchdog.Arm(1, 27);
  auto future = fired.get_future();
  ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_NE(future.get(), std::this_thread::get_id());
  EXPECT_FALSE(watchdog.Armed());
  watchdog.Disarm();
  EXPECT_EQ(reports.load(), 1);
}

TEST(ThreadTimerServiceTest, ArmingAndDisarmingRacingTheExpiryReportsAtMostOncePerArming) {
  ThreadTimerService timers;
  std::atomic<int> reports{0};
  ReadWatchdog watchdog(timers, [&](int) { reports.fetch_add(1); });
  constexpr int kArmings = 300;
  for (int i = 0; i < kArmings; ++i) {
    watchdog.Arm(1, 27);
    for (int spin = 0; spin < (i % 7) * 200; ++spin) std::this_thread::yield();
    watchdog.Disarm();
    EXPECT_FALSE(watchdog.Armed());
  }
  EXPECT_LE(reports.load(), kArmings);
}

TEST(ThreadTimerServiceTest, KillWaitsForARunningExpiry) {
  ThreadTimerService timers;
  std::promise<void> entered;
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  std::atomic<bool> once{false};
  const TimerService::TimerId id = timers.StartPeriodic(1, [&] {
    if (once.exchange(true)) return;
    entered.set_value();
    while (!release.load()) std::this_thread::yield();
    finished.store(true);
  });
  entered.get_future().wait();
  std::thread releaser([&] {
    for (int i = 0; i < 1000; ++i) std::this_thread::yield();
    release.store(true);
  });
  timers.Kill(id);
  EXPECT_TRUE(finished.load());
  releaser.join();
}

}  // namespace
}  // namespace bb
