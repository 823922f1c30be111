// What history shows: moments named in local time, the table and CSV that
// texts from cameras and files cannot break.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "history_format.h"
#include "local_time.h"
#include "util/iso_time.h"

namespace bb::cli {
namespace {

using ::testing::HasSubstr;

class LocalTimeTest : public ::testing::Test {
 protected:
  // Berlin: an hour ahead of UTC in winter, two in summer.
  LocalTimeTest() {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
  ~LocalTimeTest() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
};

TEST_F(LocalTimeTest, EachWayOfNamingAMomentIsLocalTime) {
  const std::int64_t now = *ParseIsoUtc("2024-07-10T22:30:00Z");  // already the 11th in Berlin
  const struct {
    const char* text;
    bool end;
    const char* utc;  // nullptr: refused
  } cases[] = {
      {"2024-01-15", false, "2024-01-14T23:00:00.000Z"},
      {"2024-01-15", true, "2024-01-15T23:00:00.000Z"},
      {"2024-07-15", false, "2024-07-14T22:00:00.000Z"},
      {"2024-07-15 08:30", false, "2024-07-15T06:30:00.000Z"},
      {"2024-07-15T08:30:15", true, "2024-07-15T06:30:15.000Z"},
      {"today", false, "2024-07-10T22:00:00.000Z"},
      {"today", true, "2024-07-11T22:00:00.000Z"},
      {"yesterday", false, "2024-07-09T22:00:00.000Z"},
      {"yesterday", true, "2024-07-10T22:00:00.000Z"},
      {"2024-02-30", false, nullptr},
      {"2024-13-01", false, nullptr},
      {"2024-07-15 24:00", false, nullptr},
      {"2024-07-15 08:3", false, nullptr},
      {"15.07.2024", false, nullptr},
      {"tomorrow", false, nullptr},
      {"", false, nullptr},
  };
  for (const auto& each : cases) {
    const std::optional<std::int64_t> moment = ParseLocalMoment(each.text, each.end, now);
    if (each.utc == nullptr) {
      EXPECT_FALSE(moment.has_value()) << each.text;
    } else {
      ASSERT_TRUE(moment.has_value()) << each.text;
      EXPECT_EQ(IsoUtc(*moment), each.utc) << each.text << (each.end ? " as an end" : "");
    }
  }
  EXPECT_EQ(LocalTimeText(now), "2024-07-11 00:30:00");
}

RunRow Row(const std::string& serial, const std::string& lastLine) {
  RunRow row;
  row.runId = "0b0e3f0a-8c1d-4a53-9f0e-5a7c2d41b6e3";
  row.startUtcMs = *ParseIsoUtc("2024-05-01T12:00:00Z");
  row.endUtcMs = row.startUtcMs + 2500;
  row.command = "versions";
  row.serial = serial;
  row.result = kResultFailed;
  row.lastLogLine = lastLine;
  row.log = {"a\x1b]0;title\x07", lastLine};
  return row;
}

TEST(HistoryFormatTest, TextsFromCamerasAndFilesCannotBreakTheTableOrTheCsv) {
  const std::vector<RunRow> rows = {Row("=HYPERLINK(\"x\")", "a, \"quoted\"\nline"), Row("SN\x1b[2J", "-1")};
  EXPECT_EQ(HistoryCsv(rows).substr(HistoryCsv(rows).find("\r\n") + 2),
            "0b0e3f0a-8c1d-4a53-9f0e-5a7c2d41b6e3,2024-05-01T12:00:00.000Z,2024-05-01T12:00:02.500Z,2500,"
            "versions,,,,,,\"'=HYPERLINK(\"\"x\"\")\",,,,,,,,,,,,,failed,1,\"a, \"\"quoted\"\"\nline\",,\r\n"
            "0b0e3f0a-8c1d-4a53-9f0e-5a7c2d41b6e3,2024-05-01T12:00:00.000Z,2024-05-01T12:00:02.500Z,2500,"
            "versions,,,,,,SN\x1b[2J,,,,,,,,,,,,,failed,1,'-1,,\r\n");
  const std::string table = HistoryTable(rows);
  EXPECT_EQ(table.find('\x1b'), std::string::npos) << table;
  EXPECT_THAT(table, HasSubstr("SN\\x1b[2J"));
  // One line per run under the header: a line break in a text stays escaped.
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 3);
  const std::string details = RunDetails(rows[0]);
  EXPECT_EQ(details.find('\x1b'), std::string::npos) << details;
  EXPECT_THAT(details, HasSubstr("log:\n  a\\x1b]0;title\\x07\n"));
}

}  // namespace
}  // namespace bb::cli
