#include "station_board.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "station/station_feed.h"

namespace bb::cli {
namespace {

void UseUtc() {
#if defined(_WIN32)
  _putenv_s("TZ", "UTC");
  _tzset();
#else
  setenv("TZ", "UTC", 1);
  tzset();
#endif
}

SlotView Slot(const char* label, const char* location, SlotState state, const char* serial) {
  SlotView view;
  view.label = label;
  view.location = location;
  view.state = state;
  view.serial = serial;
  view.cameraPresent = serial[0] != '\0';
  return view;
}

// The board drawn after a fixed sequence of the station's events, and the
// plain line of the run that ended among them.
TEST(StationBoardTest, TheBoardShowsEverySlotAsTheEventsLeftIt) {
  UseUtc();
  StationFeed feed;
  std::vector<std::string> board;
  std::vector<std::string> ended;
  StationBoard view([&](const std::vector<std::string>& lines) { board = lines; },
                    [&](const std::string& line) { ended.push_back(line); });
  feed.Subscribe(view);

  StationHeader header;
  header.name = "line-1";
  header.operatorName = "ana";
  header.firmware = "fw.brn";
  header.pinPrefix = "0123456789ab";
  header.startUtcMs = 1'700'000'000'000;  // 22:13:20 UTC
  feed.SetHeader(header);
  feed.SetSlot(0, Slot("A", "1-1.2", SlotState::kEmpty, ""));
  feed.SetSlot(1, Slot("B", "1-1.3", SlotState::kEmpty, ""));
  feed.SetSlot(2, Slot("C", "1-1.4", SlotState::kPresentAtStart, "OLD\x1b"));
  SlotView burning = Slot("A", "1-1.2", SlotState::kBurning, "SN0001");
  burning.percent = 42;
  burning.runMs = 3200;
  feed.SetSlot(0, burning);
  SlotView failed = Slot("B", "1-1.3", SlotState::kFailed, "SN0002");
  failed.detail = "ISP Busy!";
  failed.runMs = 2000;
  failed.note = "back within 3 s: not burned again; unplug it for 3 s to burn it";
  feed.SetSlot(1, failed);
  feed.AddRunEnded(RunEnded{"B", "1-1.3", "SN0002", false, 2000, "ISP Busy!", "id"});
  header.failed = 1;
  header.camerasPerHour = 120;
  header.notReady = "fw.brn does not match FwSha256";
  feed.SetHeader(header);
  feed.SetStrays({StrayCamera{"1-1.9", ""}});

  const std::vector<std::string> expected = {
      "station line-1   operator ana   firmware fw.brn   FwSha256 0123456789ab",
      "passed 0   failed 1   120.0 cameras per hour   running since 22:13:20",
      "not ready: fw.brn does not match FwSha256",
      "slot  location  serial       time  state",
      "A     1-1.2     SN0001      3.2 s  burning 42%",
      "B     1-1.3     SN0002      2.0 s  FAIL  ISP Busy!  (back within 3 s: not burned again; unplug it for 3 s "
      "to burn it)",
      "C     1-1.4     OLD\\x1b            plug in again to burn",
      "not a slot: 1-1.9 (serial -), left alone",
  };
  EXPECT_EQ(board, expected);
  EXPECT_EQ(ended, std::vector<std::string>{"B\t1-1.3\tSN0002\tfailed\t2.0\tISP Busy!\n"});
  // The serial column as wide as the longest serial.
  EXPECT_EQ(ShiftSummary({RunEnded{"B", "1-1.3", "SN0002", false, 2000, "ISP Busy!", "id"},
                          RunEnded{"A", "1-1.2", "", true, 19'500, "Read Verify Success !!!", "id2"},
                          RunEnded{"A", "1-1.2", "SN12345-00017", true, 19'500, "ISP Write File OK !!!", "id3"}}),
            "slot  serial         result      time  last line\n"
            "B     SN0002         failed     2.0 s  ISP Busy!\n"
            "A     -              ok        19.5 s  Read Verify Success !!!\n"
            "A     SN12345-00017  ok        19.5 s  ISP Write File OK !!!\n"
            "3 runs: 2 passed, 1 failed\n");
}

// The line's state as the forwarder publishes it reaches the board through the
// feed, the same way for every view, in the board's words.
TEST(StationBoardTest, TheBoardShowsHowTheLineStands) {
  UseUtc();
  StationFeed feed;
  std::vector<std::string> board;
  StationBoard view([&](const std::vector<std::string>& lines) { board = lines; }, [](const std::string&) {});
  feed.Subscribe(view);
  EXPECT_EQ(board.size(), 3u);  // no line: no line on the board

  const auto at = [](int hour, int minute) { return 1'765'000'000'000 - 20'800'000 + (hour * 60 + minute) * 60'000; };
  LineView line;
  line.database = "postgresql://station@db.example/line";
  struct Case {
    LineView::State state;
    std::int64_t sentUpTo;
    std::int64_t since;
    std::size_t waiting;
    const char* reason;
    const char* shown;
  };
  const Case cases[] = {
      {LineView::State::kStarting, 0, 0, 2, "", "line: postgresql://station@db.example/line, 2 runs waiting"},
      {LineView::State::kSent, 0, 0, 0, "", "line: nothing waiting"},
      {LineView::State::kSent, at(12, 4), 0, 0, "", "line: sent up to 12:04"},
      {LineView::State::kSent, at(12, 4), 0, 1, "", "line: sent up to 12:04, 1 run waiting"},
      {LineView::State::kUnreachable, at(12, 4), at(12, 5), 37, "no answer within 10.0 s",
       "line: unreachable since 12:05, 37 runs waiting"},
      {LineView::State::kRefused, at(12, 4), at(12, 6), 3, "password authentication failed for user \"station\"",
       "line: refused since 12:06, 3 runs waiting: password authentication failed for user \"station\""},
  };
  for (const Case& c : cases) {
    line.state = c.state;
    line.sentUpToUtcMs = c.sentUpTo;
    line.sinceUtcMs = c.since;
    line.waiting = c.waiting;
    line.reason = c.reason;
    feed.SetLine(line);
    ASSERT_EQ(board.size(), 4u);
    EXPECT_EQ(board[2], c.shown);
    EXPECT_EQ(feed.Snapshot().line.waiting, c.waiting);
  }
}

}  // namespace
}  // namespace bb::cli
