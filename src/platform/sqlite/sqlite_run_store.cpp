#include "platform/sqlite/sqlite_run_store.h"

#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/append_file.h"
#include "platform/run_row_json.h"
#include "platform/sqlite/run_row_parse.h"
#include "platform/sqlite/run_schema.h"
#include "platform/sqlite/sqlite_handle.h"
#include "util/format.h"
#include "util/iso_time.h"
#include "util/paths.h"

namespace bb {

namespace {

using sqlite::Statement;

constexpr char kColumns[] =
    "run_id, started_utc, ended_utc, command, station, operator, slot, location, interface, serial,"
    " ap_version, isp_version, customer_version, param_path, param_sha256, param_size, isp_path,"
    " isp_sha256, isp_size, fw_path, fw_sha256, fw_size, result, exit_status, last_log_line, log,"
    " read_back_sha256, read_back_size";

// The image keys and the first of their three columns (path, sha256, size),
// counted from 0.
struct ImageColumns {
  const char* key;
  int first;
};
constexpr ImageColumns kImageColumns[] = {{"ParamFile", 13}, {"IspFile", 16}, {"FwFile", 19}};

// A pause between two tries of a busy database.
constexpr std::uint32_t kBusyPauseMs = 10;

// Binds a digest to the parameters of the columns `column` and the one after
// it, counted from 0.
void BindDigest(Statement& insert, int column, const std::optional<FileDigest>& digest) {
  if (digest) {
    insert.BindText(column + 1, ToHex(digest->digest));
    insert.BindInt(column + 2, static_cast<std::int64_t>(digest->size));
  } else {
    insert.BindNull(column + 1);
    insert.BindNull(column + 2);
  }
}

void BindOptional(Statement& insert, int index, const std::optional<std::string>& text) {
  if (text) {
    insert.BindText(index, *text);
  } else {
    insert.BindNull(index);
  }
}

void BindRow(Statement& insert, const RunRow& row) {
  insert.BindText(1, row.runId);
  insert.BindText(2, IsoUtc(row.startUtcMs));
  insert.BindText(3, IsoUtc(row.endUtcMs));
  insert.BindText(4, row.command);
  BindOptional(insert, 5, row.station);
  BindOptional(insert, 6, row.operatorName);
  BindOptional(insert, 7, row.slot);
  const std::string* texts[] = {&row.location,  &row.interfacePath, &row.serial,
                                &row.apVersion, &row.ispVersion,    &row.customerVersion};
  for (int i = 0; i < 6; ++i) insert.BindTextOrNull(i + 8, *texts[i]);
  for (const ImageColumns& columns : kImageColumns) {
    const RunRow::Image* image = nullptr;
    for (const RunRow::Image& file : row.files) {
      if (file.key == columns.key) image = &file;
    }
    if (image == nullptr) {
      for (int i = 1; i <= 3; ++i) insert.BindNull(columns.first + i);
      continue;
    }
    insert.BindText(columns.first + 1, image->path);
    BindDigest(insert, columns.first + 1, image->digest);
  }
  insert.BindText(23, row.result);
  insert.BindInt(24, row.exitStatus);
  insert.BindText(25, row.lastLogLine);
  insert.BindText(26, nlohmann::json(row.log).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  BindDigest(insert, 26, row.readBack);
}

std::optional<FileDigest> DigestAt(const Statement& select, int column) {
  if (select.IsNull(column) || select.IsNull(column + 1) || select.Int(column + 1) < 0) return std::nullopt;
  const std::optional<Sha256Digest> digest = ParseSha256(select.Text(column));
  if (!digest) return std::nullopt;
  return FileDigest{*digest, static_cast<std::uint64_t>(select.Int(column + 1))};
}

std::optional<std::string> OptionalAt(const Statement& select, int column) {
  if (select.IsNull(column)) return std::nullopt;
  return select.Text(column);
}

RunRow ReadRow(const Statement& select) {
  RunRow row;
  row.runId = select.Text(0);
  row.startUtcMs = ParseIsoUtc(select.Text(1)).value_or(0);
  row.endUtcMs = ParseIsoUtc(select.Text(2)).value_or(row.startUtcMs);
  row.command = select.Text(3);
  row.station = OptionalAt(select, 4);
  row.operatorName = OptionalAt(select, 5);
  row.slot = OptionalAt(select, 6);
  std::string* texts[] = {&row.location,  &row.interfacePath, &row.serial,
                          &row.apVersion, &row.ispVersion,    &row.customerVersion};
  for (int i = 0; i < 6; ++i) *texts[i] = select.Text(i + 7);
  for (const ImageColumns& columns : kImageColumns) {
    if (select.IsNull(columns.first)) continue;
    row.files.push_back(
        RunRow::Image{columns.key, select.Text(columns.first), DigestAt(select, columns.first + 1)});
  }
  row.result = select.Text(22);
  row.exitStatus = static_cast<int>(select.Int(23));
  row.lastLogLine = select.Text(24);
  const nlohmann::json log = nlohmann::json::parse(select.Text(25), nullptr, false);
  if (log.is_array()) {
    for (const nlohmann::json& line : log) {
      if (line.is_string()) row.log.push_back(line.get<std::string>());
    }
  }
  row.readBack = DigestAt(select, 26);
  return row;
}

std::string NewerNote(const std::string& path, int version) {
  return Format("burnbench-cli: the records database %s has schema version %d, newer than this "
                "program's %d: it is used read-only and left as it is",
                path.c_str(), version, sqlite::kSchemaVersion);
}

bool Busy(sqlite3* db) { return (sqlite3_extended_errcode(db) & 0xFF) == SQLITE_BUSY; }

// Waits for a busy database on the store's clock, so that a test's virtual
// clock passes the whole wait at once.
class BusyWait {
 public:
  explicit BusyWait(StoreWaits waits) : waits_(waits) {}

  void Attach(sqlite3* db) { sqlite3_busy_handler(db, &BusyWait::Retry, this); }
  std::uint32_t RetryMs() const { return waits_.busyRetryMs; }

 private:
  static int Retry(void* self, int tries) {
    auto* wait = static_cast<BusyWait*>(self);
    if (tries == 0) wait->waited_ = 0;
    if (wait->waited_ >= wait->waits_.busyRetryMs) return 0;
    wait->waits_.clock.SleepMs(kBusyPauseMs);
    wait->waited_ += kBusyPauseMs;
    return 1;
  }

  StoreWaits waits_;
  std::uint32_t waited_ = 0;
};

class SqliteRunStore final : public RunStore {
 public:
  SqliteRunStore(std::string path, StoreWaits waits)
      : path_(std::move(path)), pending_(PendingPath(path_)), wait_(waits) {}

  void UseWritable(sqlite::Database db) { db_ = std::move(db); }
  void UseReadOnly(sqlite::Database db, int version) {
    db_ = std::move(db);
    newerVersion_ = version;
  }
  void Unavailable(std::string why) { unavailable_ = std::move(why); }
  BusyWait& Wait() { return wait_; }

  // The records that waited in the pending file, in one transaction; the
  // file keeps what is no record (a line cut by a crash) and, when the
  // database does not take them, everything.
  void TakeInPending(std::vector<std::string>& notes) {
    std::size_t taken = 0;
    std::vector<std::string> damaged;
    const bool read = TakeWhole(pending_, [&](std::string_view text) -> std::optional<std::string> {
      std::vector<RunRow> rows;
      std::string left;
      std::size_t number = 0;
      while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        std::string why;
        std::optional<RunRow> row = ParseRunRowLine(line, why);
        if (row) {
          rows.push_back(std::move(*row));
        } else {
          damaged.push_back(Format("burnbench-cli: line %zu of %s is no run record (%s); it stays there",
                                   number, pending_.c_str(), why.c_str()));
          left.append(line).append("\n");
        }
      }
      std::string why;
      if (Insert(rows, why) < 0) {
        damaged.clear();
        notes.push_back("burnbench-cli: the records waiting in " + pending_ + " stay there: " + why);
        return std::nullopt;
      }
      taken = rows.size();
      return left;
    });
    notes.insert(notes.end(), damaged.begin(), damaged.end());
    if (!read) notes.push_back("burnbench-cli: cannot read " + pending_ + "; the records waiting there stay there");
    if (taken > 0) {
      notes.push_back(Format("burnbench-cli: took %zu run record%s from %s into %s", taken,
                             taken == 1 ? "" : "s", pending_.c_str(), path_.c_str()));
    }
  }

  Kept Add(const RunRow& row, std::string& warning) override {
    std::lock_guard lock(mutex_);
    std::string why = unavailable_;
    if (newerVersion_ > 0) {
      why = Format("its schema version %d is newer than this program's %d", newerVersion_,
                   sqlite::kSchemaVersion);
    } else if (db_) {
      const int inserted = Insert(std::span(&row, 1), why);
      if (inserted >= 0) return inserted == 1 ? Kept::kStored : Kept::kAlreadyThere;
    }
    warning = "burnbench-cli: cannot write the run's record into " + path_ + " (" + why + "); ";
    if (AppendWhole(pending_, RunRowLine(row, RowForm::kWhole))) {
      warning += "it waits in " + pending_ + " for the next program that opens the database";
      return Kept::kPending;
    }
    warning += "nor into " + pending_ + "; the record: " + RunRowLine(row, RowForm::kWhole);
    if (warning.ends_with('\n')) warning.pop_back();
    return Kept::kOnlyInWarning;
  }

  bool AddAll(std::span<const RunRow> rows, std::size_t& added, std::string& why) override {
    std::lock_guard lock(mutex_);
    const int inserted = Insert(rows, why);
    if (inserted < 0) return false;
    added = static_cast<std::size_t>(inserted);
    return true;
  }

  bool Find(const RunFilter& filter, std::vector<RunRow>& rows, std::string& why) override {
    std::lock_guard lock(mutex_);
    if (!Readable(why)) return false;
    std::string sql = std::string("SELECT ") + kColumns + " FROM runs WHERE 1";
    if (!filter.serial.empty()) sql += " AND serial = ?1";
    if (!filter.slot.empty()) sql += " AND slot = ?2";
    if (filter.sinceUtcMs) sql += " AND started_utc >= ?3";
    if (filter.untilUtcMs) sql += " AND started_utc < ?4";
    if (!filter.result.empty()) sql += " AND result = ?5";
    if (filter.firmware) sql += " AND fw_sha256 = ?6";
    if (!filter.station.empty()) sql += " AND station = ?8";
    sql += " ORDER BY started_utc DESC, run_id LIMIT ?7";
    Statement select(db_.get(), sql);
    if (!select.Prepared()) {
      why = sqlite::LastError(db_.get());
      return false;
    }
    select.BindText(1, filter.serial);
    select.BindText(2, filter.slot);
    if (filter.sinceUtcMs) select.BindText(3, IsoUtc(*filter.sinceUtcMs));
    if (filter.untilUtcMs) select.BindText(4, IsoUtc(*filter.untilUtcMs));
    select.BindText(5, filter.result);
    if (filter.firmware) select.BindText(6, ToHex(*filter.firmware));
    select.BindInt(7, filter.limit == 0 ? -1 : static_cast<std::int64_t>(filter.limit));
    select.BindText(8, filter.station);
    return Collect(select, rows, why);
  }

  std::optional<RunRow> Get(const std::string& runId, std::string& why) override {
    std::lock_guard lock(mutex_);
    if (runId.empty()) {
      why = "no run id given";
      return std::nullopt;
    }
    if (!Readable(why)) return std::nullopt;
    // The id, or every id that starts with it: they sort right after it.
    Statement select(db_.get(), std::string("SELECT ") + kColumns +
                                    " FROM runs WHERE run_id >= ?1 AND run_id < ?2 ORDER BY run_id LIMIT 2");
    select.BindText(1, runId);
    select.BindText(2, runId + "\x7f");
    std::vector<RunRow> rows;
    if (!Collect(select, rows, why)) return std::nullopt;
    if (!rows.empty() && rows[0].runId == runId) return rows[0];
    if (rows.size() == 1) return rows[0];
    why = rows.empty() ? "no run has the id " + runId : "more than one run has an id that starts with " + runId;
    return std::nullopt;
  }

 private:
  bool Readable(std::string& why) const {
    if (db_) return true;
    why = "cannot open " + path_ + ": " + unavailable_;
    return false;
  }

  bool Collect(Statement& select, std::vector<RunRow>& rows, std::string& why) {
    int status = SQLITE_ROW;
    while ((status = select.Step()) == SQLITE_ROW) rows.push_back(ReadRow(select));
    if (status == SQLITE_DONE) return true;
    why = sqlite::LastError(db_.get());
    return false;
  }

  // The rows not yet kept, in one transaction: how many were new, or -1
  // with `why` when the transaction did not commit.
  int Insert(std::span<const RunRow> rows, std::string& why) {
    if (!db_ || newerVersion_ > 0) {
      why = newerVersion_ > 0 ? "its schema is newer than this program's" : unavailable_;
      return -1;
    }
    if (!sqlite::Execute(db_.get(), "BEGIN IMMEDIATE", why)) {
      if (Busy(db_.get())) why = Format("it stayed busy for %.1f s", wait_.RetryMs() / 1000.0);
      return -1;
    }
    Statement insert(db_.get(), std::string("INSERT OR IGNORE INTO runs (") + kColumns +
                                    ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14,"
                                    " ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28)");
    int inserted = 0;
    bool ok = insert.Prepared();
    for (const RunRow& row : rows) {
      if (!ok) break;
      BindRow(insert, row);
      ok = insert.Step() == SQLITE_DONE;
      inserted += sqlite3_changes(db_.get());
      insert.Reset();
    }
    if (ok && sqlite::Execute(db_.get(), "COMMIT", why)) return inserted;
    if (why.empty()) why = sqlite::LastError(db_.get());
    std::string ignored;
    sqlite::Execute(db_.get(), "ROLLBACK", ignored);
    return -1;
  }

  std::string path_;
  std::string pending_;
  BusyWait wait_;
  std::mutex mutex_;
  sqlite::Database db_;
  int newerVersion_ = 0;
  std::string unavailable_;
};

}  // namespace

std::string PendingPath(const std::string& databasePath) {
  const std::size_t separator = databasePath.find_last_of("/\\");
  const std::string folder = separator == std::string::npos ? std::string() : databasePath.substr(0, separator + 1);
  return folder + "burnbench-pending.jsonl";
}

OpenedStore OpenRunStore(const std::string& path, StoreUse use, StoreWaits waits) {
  OpenedStore opened;
  std::error_code error;
  const bool exists = std::filesystem::exists(FsPath(path), error);
  if (!exists && use == StoreUse::kRead) return opened;
  auto store = std::make_unique<SqliteRunStore>(path, waits);
  std::string why;
  const auto unavailable = [&]() {
    opened.notes.push_back("burnbench-cli: cannot open the records database " + path + ": " + why);
    store->Unavailable(why);
    opened.store = std::move(store);
    return std::move(opened);
  };
  // Read before anything else, on a connection that cannot change the file.
  int version = 0;
  if (exists) {
    sqlite::Database probe = sqlite::Open(path, SQLITE_OPEN_READONLY, why);
    if (!probe) return unavailable();
    store->Wait().Attach(probe.get());
    version = sqlite::SchemaVersion(probe.get(), why);
    if (version < 0) return unavailable();
    if (version > sqlite::kSchemaVersion) {
      opened.notes.push_back(NewerNote(path, version));
      store->UseReadOnly(std::move(probe), version);
      opened.store = std::move(store);
      return opened;
    }
  }
  sqlite::Database db = sqlite::Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, why);
  if (!db) return unavailable();
  store->Wait().Attach(db.get());
  // A run recorded survives a power cut, and other programs read meanwhile.
  // A program that runs writes a row per run and reads little: a small page
  // cache keeps a station's memory flat over a shift of thousands.
  if (!sqlite::Execute(db.get(), "PRAGMA journal_mode = WAL", why) ||
      !sqlite::Execute(db.get(), "PRAGMA synchronous = FULL", why) ||
      !sqlite::Execute(db.get(), "PRAGMA cache_size = -256", why)) {
    return unavailable();
  }
  if (version < sqlite::kSchemaVersion) version = sqlite::Migrate(db.get(), why);
  if (version < 0) return unavailable();
  if (version > sqlite::kSchemaVersion) {
    // A newer program migrated it meanwhile.
    opened.notes.push_back(NewerNote(path, version));
    store->UseReadOnly(std::move(db), version);
  } else {
    store->UseWritable(std::move(db));
    store->TakeInPending(opened.notes);
  }
  opened.store = std::move(store);
  return opened;
}

}  // namespace bb
