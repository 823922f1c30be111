#include "platform/virtual/event_time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/shared_time_clock.h"
#include "platform/shared_time_timers.h"

namespace bb {
namespace {

// What happened, in the order it happened, with the time it happened at.
class Diary {
 public:
  void Write(EventTime& time, const std::string& what) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::to_string(time.NowMs()) + " " + what);
  }
  std::vector<std::string> Entries() {
    std::lock_guard lock(mutex_);
    return entries_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

// Three sessions pause, a watchdog-like timer fires and is killed, and the
// time jumps from one due moment to the next only once every member waits: the
// diary is the same on every run, whatever the threads' real timing.
TEST(EventTimeTest, TimeJumpsToTheNextDueMomentOnlyWhileEveryMemberWaits) {
  EventTime time(1'000'000);
  Diary diary;
  // The main thread takes part first, so that nothing moves before it waits.
  std::optional<SharedTime::Member> self(std::in_place, time);
  std::vector<std::thread> threads;
  for (std::uint32_t pause : {3000u, 1000u, 2000u}) {
    threads.emplace_back([&time, &diary, pause, member = SharedTime::Member(time)] {
      SharedTimeClock clock(time);
      clock.SleepMs(pause);
      diary.Write(time, "woke after " + std::to_string(pause));
      // Work between two pauses takes no time.
      for (int spin = 0; spin < 1000; ++spin) std::this_thread::yield();
      clock.SleepMs(pause);
      diary.Write(time, "woke again after " + std::to_string(pause));
    });
  }
  SharedTimeTimers timers(time);
  int expiries = 0;
  const TimerService::TimerId timer = timers.StartPeriodic(1500, [&] {
    ++expiries;
    diary.Write(time, "timer " + std::to_string(expiries));
  });
  time.SleepUntil(3500);
  timers.Kill(timer);
  diary.Write(time, "timer killed");
  EXPECT_EQ(time.UtcNowMs(), 1'003'500);
  // The main thread no longer takes part: the rest goes on without it.
  self.reset();
  for (std::thread& thread : threads) thread.join();

  const std::vector<std::string> expected = {
      "1000 woke after 1000",       "1500 timer 1",
      "2000 woke after 2000",       "2000 woke again after 1000",
      "3000 woke after 3000",       "3000 timer 2",
      "3500 timer killed",          "4000 woke again after 2000",
      "6000 woke again after 3000"};
  std::vector<std::string> entries = diary.Entries();
  // Entries due at one moment may come in either order.
  std::sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
    return std::stoull(a) < std::stoull(b) || (std::stoull(a) == std::stoull(b) && a < b);
  });
  std::vector<std::string> sortedExpected = expected;
  std::sort(sortedExpected.begin(), sortedExpected.end(), [](const std::string& a, const std::string& b) {
    return std::stoull(a) < std::stoull(b) || (std::stoull(a) == std::stoull(b) && a < b);
  });
  EXPECT_EQ(entries, sortedExpected);
  EXPECT_EQ(expiries, 2);
}

// A member that waits for something another member does is woken by Notify,
// without the time moving; one that never hears of it gives up at its due time.
TEST(EventTimeTest, NotifyEndsAWaitWithoutMovingTheTime) {
  EventTime time;
  std::atomic<bool> posted{false};
  bool sawIt = false;
  std::uint64_t sawAt = 0;
  std::optional<SharedTime::Member> self(std::in_place, time);
  std::thread waiter([&, member = SharedTime::Member(time)] {
    sawIt = time.WaitUntil(10'000, [&] { return posted.load(); });
    sawAt = time.NowMs();
  });
  time.SleepUntil(700);
  posted = true;
  time.Notify();
  // The notified member works now: nothing more may pass until it waits.
  time.SleepUntil(800);
  self.reset();
  waiter.join();
  EXPECT_TRUE(sawIt);
  EXPECT_EQ(sawAt, 700u);

  std::thread lonely([&, member = SharedTime::Member(time)] {
    sawIt = time.WaitUntil(time.NowMs() + 5000, [] { return false; });
    sawAt = time.NowMs();
  });
  lonely.join();
  EXPECT_FALSE(sawIt);
  EXPECT_EQ(sawAt, 5800u);
}

// An action cancelled before it is due never runs; one cancelled from another
// thread while it runs has finished when Cancel returns.
TEST(EventTimeTest, CancelDropsAPendingActionAndWaitsForARunningOne) {
  EventTime time;
  std::atomic<int> ran{0};
  std::atomic<bool> finished{false};
  std::atomic<bool> started{false};
  const SharedTime::ActionId dropped = time.At(100, [&] { ran += 100; });
  SharedTime::ActionId running = SharedTime::kNoAction;
  running = time.At(200, [&] {
    started = true;
    while (ran.load() == 0) std::this_thread::yield();
    finished = true;
  });
  time.Cancel(dropped);
  std::thread mover([&, member = SharedTime::Member(time)] { time.SleepUntil(300); });
  while (!started) std::this_thread::yield();
  ran = 1;
  time.Cancel(running);
  EXPECT_TRUE(finished);
  mover.join();
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(time.NowMs(), 300u);
}

}  // namespace
}  // namespace bb
