// The database of runs as the command-line program keeps and shows it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>

#include "cli/cli_process.h"
#include "util/format.h"
#include "util/iso_time.h"

namespace bb::test {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

// A member's text in each JSON line, in order.
std::vector<std::string> Members(const std::vector<std::string>& lines, const std::string& key) {
  std::vector<std::string> values;
  const std::regex member("\"" + key + "\":\"([^\"]*)\"");
  for (const std::string& line : lines) {
    std::smatch found;
    values.push_back(std::regex_search(line, found, member) ? found[1].str() : "");
  }
  return values;
}

class CliRecordsTest : public CliProcessTest {
 protected:
  CliRecordsTest() { setenv("TZ", "UTC", 1); }
  std::string Db() { return "--db '" + work.File("runs.db") + "' "; }
  std::string Ini() { return "--ini '" + work.File("Isp.ini") + "' "; }
  // A simulated line's shift at a station of the sample job, pinned first.
  std::string Shift(unsigned slots, unsigned cameras, const std::string& serials) {
    if (!pinned_) pinned_ = Run(Ini() + "pin").status == 0;
    return Format("--virtual-clock %sstation --simulate %u --line %u --line-serials %s ", Ini().c_str(), slots,
                  cameras, serials.c_str());
  }
  std::vector<std::string> History(const std::string& filters = "") {
    const Result history = Run(Ini() + "history --json " + filters);
    EXPECT_EQ(history.status, 0) << history.err;
    return history.out;
  }

 private:
  bool pinned_ = false;
};

// Two programs with their own cameras record at once, each run once.
TEST_F(CliRecordsTest, TwoProgramsAtOnceLoseNoRunAndDoubleNone) {
  const std::string cli = std::string("'") + BURNBENCH_CLI_PATH + "' --simulate 6 --virtual-clock --ini '" +
                          work.File("Isp.ini") + "' burn --all ";
  std::string serialsA, serialsB;
  for (int port = 1; port <= 6; ++port) {
    serialsA += "--serial " + std::to_string(port) + ":A" + std::to_string(port) + " ";
    serialsB += "--serial " + std::to_string(port) + ":B" + std::to_string(port) + " ";
  }
  const auto loop = [&](const std::string& serials) {
    return "(for i in 1 2 3; do " + cli + serials + ">/dev/null 2>>'" + work.File("err.txt") + "' || exit 1; done)";
  };
  const std::string script = work.Write(
      "both.sh", loop(serialsA) + " & a=$!\n" + loop(serialsB) + " & b=$!\nwait $a && wait $b\n");
  ASSERT_EQ(std::system(("timeout 120 sh '" + script + "'").c_str()), 0) << Slurp(work.Path() / "err.txt");
  EXPECT_THAT(Slurp(work.Path() / "err.txt"), Not(HasSubstr("record")));

  const Result history = Run("--ini '" + work.File("Isp.ini") + "' history --json");
  ASSERT_EQ(history.status, 0) << history.err;
  ASSERT_EQ(history.out.size(), 36u);
  const std::vector<std::string> ids = Members(history.out, "run_id");
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 36u);
  std::map<std::string, int> runsOf;
  for (const std::string& serial : Members(history.out, "serial")) ++runsOf[serial];
  for (const char* camera : {"A", "B"}) {
    for (int port = 1; port <= 6; ++port) EXPECT_EQ(runsOf[camera + std::to_string(port)], 3) << camera << port;
  }
  EXPECT_FALSE(std::filesystem::exists(work.Path() / "burnbench-pending.jsonl"));
}

// The filters of history, on runs taken in from a report of another machine:
// each filter lists exactly its runs, newest first.
TEST_F(CliRecordsTest, HistoryListsExactlyTheRunsEachFilterAsksFor) {
  using namespace std::chrono;
  const std::int64_t now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  const std::int64_t today = now - now % 86400000;
  const std::string fwX(64, 'a'), fwY(64, 'b');
  const auto line = [](const char* label, std::int64_t start, const char* serial, const char* slot,
                       const char* result, const std::string& fw, const char* id) {
    return std::string("{\"start\":\"") + IsoUtc(start) + "\",\"end\":\"" + IsoUtc(start + 1500) + "\"" +
           (id[0] != '\0' ? std::string(",\"run_id\":\"") + id + "\"" : "") + ",\"station\":null,\"slot\":" +
           (slot[0] != '\0' ? std::string("\"") + slot + "\"" : "null") + ",\"command\":\"burn\",\"serial\":" +
           (serial[0] != '\0' ? std::string("\"") + serial + "\"" : "null") + ",\"versions\":{},\"files\":" +
           (fw.empty() ? "{}" : "{\"FwFile\":{\"path\":\"fw.brn\",\"sha256\":\"" + fw + "\",\"size\":7}}") +
           ",\"result\":\"" + result + "\",\"exit_status\":" + (result[0] == 'o' ? "0" : "1") +
           ",\"last_log_line\":\"" + label + "\"}\n";
  };
  const std::string report =
      line("r1", *ParseIsoUtc("2024-05-01T12:00:00Z"), "SN123", "A", "ok", fwX, "11111111-0000-4000-8000-000000000001") +
      line("r2", today - 43200000, "sn123", "C", "failed", fwY, "22222222-0000-4000-8000-000000000002") +
      line("r3", today + 1000, "SN999", "C", "failed", fwX, "33333333-0000-4000-8000-000000000003") +
      "not a run\n" + line("r4", today + 2000, "", "", "ok", "", "");
  const std::string file = work.Write("other.jsonl", report);

  const Result first = Run(Db() + "history --import '" + file + "'");
  EXPECT_EQ(first.status, 1);
  EXPECT_THAT(first.err, HasSubstr("line 4 of " + file + " is no run record (it is not a JSON object)"));
  EXPECT_EQ(first.out.at(0), "4 runs read from " + file + ", 4 of them new in " + work.File("runs.db"));
  // Again: the same runs, the one without an id known by its content.
  EXPECT_EQ(Run(Db() + "history --import '" + file + "'").out.at(0),
            "4 runs read from " + file + ", 0 of them new in " + work.File("runs.db"));

  const struct {
    std::string filter;
    std::vector<std::string> runs;
  } cases[] = {
      {"", {"r4", "r3", "r2", "r1"}},
      {"--serial sn123", {"r2", "r1"}},
      {"--slot C", {"r3", "r2"}},
      {"--result failed --since today", {"r3"}},
      {"--result ok", {"r4", "r1"}},
      {"--since yesterday --until yesterday", {"r2"}},
      {"--until 2024-05-01", {"r1"}},
      {"--since '2024-05-01 12:00:01'", {"r4", "r3", "r2"}},
      {"--since 2024-05-01T12:00 --until 2024-05-02", {"r1"}},
      {"--firmware " + fwX, {"r3", "r1"}},
      {"--limit 2", {"r4", "r3"}},
      {"--serial SN124", {}},
  };
  for (const auto& each : cases) {
    const Result json = Run(Db() + "history --json " + each.filter);
    EXPECT_EQ(json.status, 0) << each.filter << json.err;
    EXPECT_THAT(Members(json.out, "last_log_line"), ElementsAreArray(each.runs)) << each.filter;
    // The table and the CSV list the same runs, under a header.
    EXPECT_EQ(Run(Db() + "history " + each.filter).out.size(), each.runs.size() + 1) << each.filter;
    EXPECT_EQ(Run(Db() + "history --csv " + each.filter).out.size(), each.runs.size() + 1) << each.filter;
  }

  const Result one = Run(Db() + "history --run 3333");
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_THAT(one.outText, HasSubstr("run        33333333-0000-4000-8000-000000000003\n"));
  EXPECT_THAT(one.outText, HasSubstr("\nslot       C\n"));
  for (const char* bad : {"--since tomorrow", "--until 2024-02-30", "--result maybe", "--limit 0",
                          "--firmware abc", "--run 3333 --slot C"}) {
    EXPECT_EQ(Run(Db() + "history " + bad).status, 2) << bad;
  }
}

// Where the runs go: beside Isp.ini by default, where [Records] Database says,
// or nowhere; a burn is recorded with its log and what was read back.
TEST_F(CliRecordsTest, EveryRunGoesToTheDatabaseThatTheIniOrCommandLineNames) {
  ASSERT_EQ(Simulate("burn --verify").status, 0);
  const Result burned = Run("--ini '" + work.File("Isp.ini") + "' history --json");
  ASSERT_EQ(burned.out.size(), 1u) << burned.err;
  EXPECT_THAT(burned.out[0], HasSubstr("\"command\":\"burn --verify\""));
  EXPECT_THAT(burned.out[0], HasSubstr("\"read_back\":{\"sha256\":\""));
  EXPECT_THAT(burned.out[0], HasSubstr("\"Download param.txt ...\",\"  Begin ... 0x1000(0x223)\""));
  EXPECT_TRUE(burned.out[0].ends_with("\"Read Verify Success !!!\"]}"));

  EXPECT_EQ(Simulate("--db none versions").status, 0);
  const std::string elsewhere = JobWith("Elsewhere.ini", {{"[2860]", "[Records]\nDatabase=kept/runs.db\n[2860]"}});
  std::filesystem::create_directories(work.Path() / "kept");
  EXPECT_EQ(Run("--simulate --virtual-clock " + elsewhere + "versions").status, 0);
  EXPECT_EQ(Run("--ini '" + work.File("Isp.ini") + "' history --json").out.size(), 1u);
  EXPECT_EQ(Run(elsewhere + "history --json").out.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(work.Path() / "kept" / "runs.db"));
  EXPECT_EQ(Run("--db none history").status, 2);
}

// A camera that passed the job is not burned again by a station: its line and
// a record say so, naming the run that passed; --reburn burns it all the same.
TEST_F(CliRecordsTest, AStationDoesNotBurnACameraThatPassedTheJobBefore) {
  const std::string shift = Shift(2, 3, "R-");
  ASSERT_EQ(Run(shift).status, 0);
  const std::vector<std::string> first = History();
  ASSERT_EQ(first.size(), 3u);
  const std::vector<std::string> passedIds = Members(first, "run_id");

  const Result again = Run(shift);
  EXPECT_EQ(again.status, 0) << again.err;
  ASSERT_EQ(again.out.size(), 3u);
  for (const std::string& line : again.out) {
    EXPECT_THAT(line, HasSubstr("\tdone before\t0.0\tpassed before at "));
    EXPECT_THAT(line, HasSubstr("): not burned again"));
  }
  EXPECT_THAT(again.err, HasSubstr("0 runs: 0 passed, 0 failed; 3 done before, not burned again"));
  const std::vector<std::string> kept = History("--serial r-00002");
  ASSERT_EQ(kept.size(), 2u);
  const auto doneBefore = std::find_if(kept.begin(), kept.end(), [](const std::string& line) {
    return line.find("\"result\":\"done before\"") != std::string::npos;
  });
  ASSERT_NE(doneBefore, kept.end());
  const std::vector<std::string> passed = History("--serial r-00002 --result ok");
  ASSERT_EQ(passed.size(), 1u);
  EXPECT_THAT(*doneBefore, HasSubstr("(run " + Members(passed, "run_id")[0] + "): not burned again"));
  EXPECT_THAT(*doneBefore, HasSubstr("\"FwFile\":{\"path\":"));

  const Result reburned = Run(shift + "--reburn");
  EXPECT_EQ(reburned.status, 0) << reburned.err;
  ASSERT_EQ(reburned.out.size(), 3u);
  for (const std::string& line : reburned.out) EXPECT_THAT(line, HasSubstr("\tok\t"));
  EXPECT_EQ(History("--result ok").size(), 6u);
}

// Two stations of one machine share its database: every run of each once.
TEST_F(CliRecordsTest, TwoStationsRecordIntoOneDatabaseAtOnce) {
  const auto station = [&](const std::string& serials) {
    return std::string("'") + BURNBENCH_CLI_PATH + "' " + Shift(4, 30, serials) + ">/dev/null 2>>'" +
           work.File("err.txt") + "'";
  };
  const std::string script =
      work.Write("both.sh", station("A-") + " & a=$!\n" + station("B-") + " & b=$!\nwait $a && wait $b\n");
  ASSERT_EQ(std::system(("timeout 300 sh '" + script + "'").c_str()), 0) << Slurp(work.Path() / "err.txt");
  const std::vector<std::string> runs = History();
  ASSERT_EQ(runs.size(), 60u);
  const std::vector<std::string> ids = Members(runs, "run_id");
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 60u);
  const std::vector<std::string> serials = Members(runs, "serial");
  EXPECT_EQ(std::set<std::string>(serials.begin(), serials.end()).size(), 60u);
  EXPECT_FALSE(std::filesystem::exists(work.Path() / "burnbench-pending.jsonl"));
}

// A database that another program keeps locked past the retry does not fail
// a station's run: its record waits in the pending file, and the next program
// that opens the database takes it in.
TEST_F(CliRecordsTest, AStationsRecordsWaitWhileAnotherProgramLocksTheDatabase) {
  ASSERT_EQ(Run(Shift(1, 1, "P-")).status, 0);
  sqlite3* locker = nullptr;
  ASSERT_EQ(sqlite3_open(work.File("burnbench.db").c_str(), &locker), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(locker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const Result locked = Run(Shift(1, 1, "Q-"));
  sqlite3_exec(locker, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(locker);
  EXPECT_EQ(locked.status, 0) << locked.err;
  EXPECT_THAT(locked.err, HasSubstr("it waits in " + work.File("burnbench-pending.jsonl")));
  EXPECT_EQ(Lines(Slurp(work.Path() / "burnbench-pending.jsonl")).size(), 1u);

  const std::vector<std::string> runs = History();
  // Both shifts start within moments of each other on their own clocks: which
  // sorts first is not the point, that both are kept is.
  EXPECT_THAT(Members(runs, "serial"), ::testing::UnorderedElementsAre("Q-00001", "P-00001"));
  EXPECT_EQ(Slurp(work.Path() / "burnbench-pending.jsonl"), "") << "taken in, and emptied";
}

}  // namespace
}  // namespace bb::test
