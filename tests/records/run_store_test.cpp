// The database of runs: its schema from an empty file, one newer than the
// program, a database that another program holds, and records that arrive twice.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "platform/run_row_json.h"
#include "platform/sqlite/run_row_parse.h"
#include "platform/sqlite/sqlite_run_store.h"
#include "platform/virtual/virtual_clock.h"
#include "support/temp_folder.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

RunRow SampleRow(const std::string& id, std::int64_t startUtcMs) {
  RunRow row;
  row.runId = id;
  row.startUtcMs = startUtcMs;
  row.endUtcMs = startUtcMs + 4321;
  row.command = "burn --verify";
  row.slot = "C";
  row.location = "1-2";
  row.serial = "SN123";
  row.ispVersion = "1.2.3.4";
  row.files = {{"ParamFile", "/jobs/param.txt", std::nullopt},
               {"FwFile", "/jobs/fw.brn", FileDigest{*ParseSha256(std::string(64, 'a')), 1024}}};
  row.result = kResultOk;
  row.exitStatus = 0;
  row.lastLogLine = "Read Verify Success !!!";
  row.log = {"line ' one", "Read Verify Success !!!"};
  row.readBack = FileDigest{*ParseSha256(std::string(64, 'b')), 2048};
  return row;
}

// The database's own answer to one query of a number.
std::int64_t Number(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  std::int64_t value = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW) {
      value = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close_v2(db);
  return value;
}

class RunStoreTest : public ::testing::Test {
 protected:
  OpenedStore Open(StoreUse use = StoreUse::kWrite) {
    return OpenRunStore(db, use, StoreWaits{clock, kBusyRetryMs});
  }

  test::TempFolder folder;
  std::string db = folder.File("burnbench.db");
  std::string pending = folder.File("burnbench-pending.jsonl");
  VirtualClock clock;
};

TEST_F(RunStoreTest, AnEmptyFileBecomesTheCurrentVersionAndKeepsARunWhole) {
  std::ofstream(db).close();
  EXPECT_TRUE(Open(StoreUse::kRead).store != nullptr);
  EXPECT_EQ(Number(db, "PRAGMA user_version"), 2);

  OpenedStore opened = Open();
  ASSERT_TRUE(opened.notes.empty()) << opened.notes[0];
  const RunRow row = SampleRow("0b0e3f0a-0000-4000-8000-000000000001", 1714566896789);
  std::string warning;
  EXPECT_EQ(opened.store->Add(row, warning), Kept::kStored) << warning;
  EXPECT_EQ(opened.store->Add(row, warning), Kept::kAlreadyThere);
  EXPECT_EQ(Number(db, "SELECT count(*) FROM runs"), 1);

  // Read back by a program of its own, it is the same record, to the byte of
  // its whole JSON line; the short id finds it too.
  std::string why;
  const std::optional<RunRow> found = Open(StoreUse::kRead).store->Get("0b0e3f0a", why);
  ASSERT_TRUE(found.has_value()) << why;
  EXPECT_EQ(RunRowLine(*found, RowForm::kWhole), RunRowLine(row, RowForm::kWhole));
  EXPECT_EQ(Slurp(folder.File("burnbench.db-wal")).empty(), false);
}

// A database of version 1 (kept as a dump) gains the mark of the runs sent to
// the line's database: every row kept, each waiting to be sent, oldest first,
// and a mark that lasts.
TEST_F(RunStoreTest, AVersionOneDatabaseMigratesKeepingEveryRowAndEachWaitsForTheLine) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw, Slurp(BURNBENCH_RECORDS_DUMPS "/runs_v1.sql").c_str(), nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(raw);
  ASSERT_EQ(Number(db, "PRAGMA user_version"), 1);

  OpenedStore opened = Open();
  ASSERT_TRUE(opened.notes.empty()) << opened.notes[0];
  EXPECT_EQ(Number(db, "PRAGMA user_version"), 2);
  std::vector<RunRow> rows;
  std::string why;
  ASSERT_TRUE(opened.store->Find({}, rows, why)) << why;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].serial, "SN-OLD-1");
  EXPECT_EQ(rows[0].files.size(), 3u);
  EXPECT_EQ(rows[0].log.size(), 2u);

  std::vector<RunRow> waiting;
  ASSERT_TRUE(opened.store->Waiting(10, waiting, why)) << why;
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_EQ(waiting[0].runId, "22222222-2222-4222-8222-222222222222");
  const std::string first[] = {waiting[0].runId};
  ASSERT_TRUE(opened.store->MarkSent(first, 1765000000000, why)) << why;
  opened.store.reset();

  std::size_t count = 0;
  ASSERT_TRUE(Open().store->CountWaiting(count, why)) << why;
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(Number(db, "SELECT count(*) FROM runs WHERE line_sent_utc = '2025-12-06T05:46:40.000Z'"), 1);
}

TEST_F(RunStoreTest, ADatabaseNewerThanTheProgramIsLeftByteForByte) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE runs (run_id TEXT, shape TEXT); INSERT INTO runs VALUES ('x', 'new');"
                         "PRAGMA user_version = 7;", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(raw);
  const std::string before = Slurp(db);

  OpenedStore opened = Open();
  ASSERT_EQ(opened.notes.size(), 1u);
  EXPECT_EQ(opened.notes[0], "burnbench-cli: the records database " + db +
                                 " has schema version 7, newer than this program's 2: it is used "
                                 "read-only and left as it is");
  std::string warning;
  EXPECT_EQ(opened.store->Add(SampleRow("r1", 0), warning), Kept::kPending);
  EXPECT_THAT(warning, HasSubstr("its schema version 7 is newer than this program's 2"));
  opened.store.reset();
  EXPECT_EQ(Slurp(db), before);
  EXPECT_FALSE(std::filesystem::exists(db + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(db + "-journal"));
  // The record waits for a program that knows the newer schema.
  EXPECT_THAT(Slurp(pending), HasSubstr("\"run_id\":\"r1\""));
}

TEST_F(RunStoreTest, ARecordThatFindsTheDatabaseHeldWaitsInThePendingFileForTheNextOpening) {
  OpenedStore opened = Open();
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

  std::string warning;
  const RunRow row = SampleRow("held-1", 1714566896789);
  EXPECT_EQ(opened.store->Add(row, warning), Kept::kPending);
  EXPECT_EQ(warning, "burnbench-cli: cannot write the run's record into " + db +
                         " (it stayed busy for 5.0 s); it waits in " + pending +
                         " for the next program that opens the database");
  // The whole retry passed on the store's clock, in pauses.
  EXPECT_GE(clock.SleptMs(), kBusyRetryMs);
  EXPECT_LT(clock.SleptMs(), kBusyRetryMs + 100);
  EXPECT_EQ(Slurp(pending), RunRowLine(row, RowForm::kWhole));
  // Still held, the next opening leaves the record where it is.
  EXPECT_THAT(Open().notes, ElementsAre(HasSubstr("the records waiting in " + pending + " stay there")));
  EXPECT_EQ(Slurp(pending), RunRowLine(row, RowForm::kWhole));

  ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  EXPECT_THAT(Open().notes, ElementsAre("burnbench-cli: took 1 run record from " + pending + " into " + db));
  EXPECT_EQ(Slurp(pending), "");
  EXPECT_EQ(opened.store->Add(row, warning), Kept::kAlreadyThere);
  EXPECT_EQ(Number(db, "SELECT count(*) FROM runs"), 1);
}

// A line that a crash cut short stays in the pending file; the records
// around it are taken in.
TEST_F(RunStoreTest, APendingLineThatIsNoRecordStaysAndTheOthersAreTakenIn) {
  const std::string first = RunRowLine(SampleRow("p-1", 1000), RowForm::kWhole);
  const std::string second = RunRowLine(SampleRow("p-2", 2000), RowForm::kWhole);
  const std::string cut = second.substr(0, 40);
  std::ofstream(pending, std::ios::binary) << first << cut << "\n" << second;
  EXPECT_THAT(Open().notes,
              ElementsAre("burnbench-cli: line 2 of " + pending +
                              " is no run record (it is not a JSON object); it stays there",
                          "burnbench-cli: took 2 run records from " + pending + " into " + db));
  EXPECT_EQ(Slurp(pending), cut + "\n");
  EXPECT_EQ(Number(db, "SELECT count(*) FROM runs"), 2);
}

TEST(RunRowParseTest, ALineWithoutAnIdIsNamedByItsContent) {
  const std::string line =
      "{\"start\":\"2024-05-01T12:34:56.789Z\",\"end\":\"2024-05-01T12:35:00Z\",\"command\":\"versions\","
      "\"location\":null,\"serial\":\"sn9\",\"versions\":{},\"files\":{},\"result\":\"failed\","
      "\"exit_status\":1,\"last_log_line\":\"x\",\"duration_ms\":3211}";
  std::string why;
  const std::optional<RunRow> first = ParseRunRowLine(line, why);
  ASSERT_TRUE(first.has_value()) << why;
  EXPECT_EQ(first->runId, ParseRunRowLine(line + "\r\n", why)->runId);
  EXPECT_EQ(first->runId, RunNameUuid(line));
  EXPECT_NE(first->runId, RunNameUuid(line + " "));
  EXPECT_EQ(first->runId[14], '5');
  EXPECT_EQ(first->endUtcMs - first->startUtcMs, 3211);
  EXPECT_FALSE(first->station.has_value());
  // As every other maker of version 5 UUIDs names python.org in the DNS namespace.
  const UuidBytes dns = {0x6b, 0xa7, 0xb8, 0x10, 0x9d, 0xad, 0x11, 0xd1,
                         0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
  EXPECT_EQ(NameUuid(dns, "python.org"), "886313e1-3b8a-5372-9b90-0c9aee199e5d");
  for (const char* bad : {"[1]", "{\"start\":\"2024-05-01\",\"command\":\"burn\",\"result\":\"ok\"}",
                          "{\"start\":\"2024-05-01T00:00:00Z\",\"command\":\"burn\",\"result\":\"maybe\"}"}) {
    EXPECT_FALSE(ParseRunRowLine(bad, why).has_value()) << bad;
  }
}

}  // namespace
}  // namespace bb
