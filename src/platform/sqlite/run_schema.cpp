#include "platform/sqlite/run_schema.h"

#include <iterator>

#include "platform/sqlite/sqlite_handle.h"

namespace bb::sqlite {

namespace {

// Each step takes a database of the version before it to version `to`. A new
// version adds its step here and a dump of a database of the version before
// it under tests/records/, which the migration test then opens and checks.
struct Step {
  int to;
  const char* sql;
};

constexpr Step kSteps[] = {
    {1,
     "CREATE TABLE runs ("
     " run_id TEXT PRIMARY KEY NOT NULL,"
     " started_utc TEXT NOT NULL,"  // ISO 8601, UTC, milliseconds
     " ended_utc TEXT NOT NULL,"
     " command TEXT NOT NULL,"
     " station TEXT,"
     " operator TEXT,"
     " slot TEXT,"
     " location TEXT,"
     " interface TEXT,"
     " serial TEXT COLLATE NOCASE,"
     " ap_version TEXT,"
     " isp_version TEXT,"
     " customer_version TEXT,"
     " param_path TEXT, param_sha256 TEXT, param_size INTEGER,"
     " isp_path TEXT, isp_sha256 TEXT, isp_size INTEGER,"
     " fw_path TEXT, fw_sha256 TEXT, fw_size INTEGER,"
     " result TEXT NOT NULL,"
     " exit_status INTEGER NOT NULL,"
     " last_log_line TEXT NOT NULL,"
     " log TEXT NOT NULL,"  // a JSON list of the lines
     " read_back_sha256 TEXT,"
     " read_back_size INTEGER"
     ");"
     "CREATE INDEX runs_by_start ON runs (started_utc);"
     "CREATE INDEX runs_by_serial ON runs (serial, started_utc);"},
    // When the line's database committed the run; NULL while it waits to be sent.
    {2,
     "ALTER TABLE runs ADD COLUMN line_sent_utc TEXT;"
     "CREATE INDEX runs_waiting ON runs (started_utc, run_id) WHERE line_sent_utc IS NULL;"},
};

static_assert(std::size(kSteps) == kSchemaVersion, "one step for each version");

}  // namespace

int SchemaVersion(sqlite3* db, std::string& why) {
  Statement version(db, "PRAGMA user_version");
  if (!version.Prepared() || version.Step() != SQLITE_ROW) {
    why = LastError(db);
    return -1;
  }
  return static_cast<int>(version.Int(0));
}

int Migrate(sqlite3* db, std::string& why) {
  if (!Execute(db, "BEGIN IMMEDIATE", why)) return -1;
  const int found = SchemaVersion(db, why);
  if (found < 0 || found >= kSchemaVersion) {
    std::string ignored;
    Execute(db, "ROLLBACK", ignored);
    return found;
  }
  for (const Step& step : kSteps) {
    if (step.to <= found) continue;
    if (!Execute(db, step.sql, why)) {
      std::string ignored;
      Execute(db, "ROLLBACK", ignored);
      return -1;
    }
  }
  // A pragma takes no parameters; the version is this program's own number.
  const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
  if (!Execute(db, setVersion.c_str(), why) || !Execute(db, "COMMIT", why)) {
    std::string ignored;
    Execute(db, "ROLLBACK", ignored);
    return -1;
  }
  return kSchemaVersion;
}

}  // namespace bb::sqlite
