#include "platform/std/thread_timer_service.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include "device/read_watchdog.h"
#include "support/blocking_read_transport.h"

namespace bb {
namespace {

// These run on real threads: they check the hand-over between the reader and
// the timer's thread, not timing, and wait only for the timer to fire.

TEST(ThreadTimerServiceTest, TheWatchdogCancelsAStalledReadAndReportsOnTheReadersThread) {
  ThreadTimerService timers;
  test::BlockingReadTransport transport;
  std::vector<std::pair<int, std::thread::id>> reports;
  ReadWatchdog watchdog(timers, transport,
                        [&](int code) { reports.emplace_back(code, std::this_thread::get_id()); });
  constexpr DeviceTransport::Handle kPipe = 7;
  watchdog.Arm(1, 27, kPipe);
  std::array<std::uint8_t, 64> buffer{};
  std::uint32_t done = 1;
  // Returns only because the expiry cancels it.
  EXPECT_FALSE(transport.Read(kPipe, buffer, done));
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(reports.empty()) << "reported before the reader disarmed";
  watchdog.Disarm();
  transport.Close(kPipe);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].first, 27);
  EXPECT_EQ(reports[0].second, std::this_thread::get_id());
  EXPECT_FALSE(watchdog.Armed());
}

TEST(ThreadTimerServiceTest, NoCancelReachesAReadsHandleAfterItsGuardIsDisarmed) {
  ThreadTimerService timers;
  test::BlockingReadTransport transport;
  int reports = 0;
  ReadWatchdog watchdog(timers, transport, [&](int) { ++reports; });
  constexpr int kArmings = 300;
  for (int i = 0; i < kArmings; ++i) {
    const DeviceTransport::Handle pipe = i + 1;
    watchdog.Arm(1, 27, pipe);
    for (int spin = 0; spin < (i % 7) * 200; ++spin) std::this_thread::yield();
    watchdog.Disarm();
    transport.Close(pipe);
    EXPECT_FALSE(watchdog.Armed());
  }
  EXPECT_LE(reports, kArmings);
  EXPECT_EQ(transport.CancelsOfClosedHandles(), 0);
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
