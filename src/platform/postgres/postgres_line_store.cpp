#include "platform/postgres/postgres_line_store.h"

#include <array>
#include <iterator>

#include <nlohmann/json.hpp>

#include "platform/postgres/pg_connection.h"
#include "util/format.h"
#include "util/iso_time.h"

namespace bb {

namespace {

using pg::Param;

// Each step takes the table of the version before it to version `to`.
struct Step {
  int to;
  const char* sql;
};

constexpr Step kSteps[] = {
    {1,
     "CREATE TABLE burnbench_runs ("
     " run_id text PRIMARY KEY,"
     " started_utc timestamptz NOT NULL,"
     " ended_utc timestamptz NOT NULL,"
     " command text NOT NULL,"
     " station text, operator text, slot text, location text, interface text, serial text,"
     " ap_version text, isp_version text, customer_version text,"
     " param_path text, param_sha256 text, param_size bigint,"
     " isp_path text, isp_sha256 text, isp_size bigint,"
     " fw_path text, fw_sha256 text, fw_size bigint,"
     " result text NOT NULL,"
     " exit_status integer NOT NULL,"
     " last_log_line text NOT NULL,"
     " log text NOT NULL,"
     " read_back_sha256 text, read_back_size bigint,"
     " sent_by text NOT NULL,"  // the station that sent the run to the line
     " received_utc timestamptz NOT NULL DEFAULT now()"
     ");"
     "CREATE INDEX burnbench_runs_by_start ON burnbench_runs (started_utc);"
     "CREATE INDEX burnbench_runs_by_serial ON burnbench_runs (lower(serial), started_utc);"},
};
static_assert(std::size(kSteps) == kLineSchemaVersion, "one step for each version");

// The version lives in the table's comment, which every role may read: a
// station needs no grant beyond INSERT and SELECT on the table.
constexpr char kVersionPrefix[] = "burnbench schema version ";
constexpr char kReadVersion[] = "SELECT obj_description(to_regclass('burnbench_runs'), 'pg_class')";

constexpr char kColumns[] =
    "run_id, started_utc, ended_utc, command, station, operator, slot, location, interface, serial,"
    " ap_version, isp_version, customer_version, param_path, param_sha256, param_size, isp_path,"
    " isp_sha256, isp_size, fw_path, fw_sha256, fw_size, result, exit_status, last_log_line, log,"
    " read_back_sha256, read_back_size";
constexpr int kColumnCount = 28;
constexpr char kSelectColumns[] =
    "run_id, (extract(epoch from started_utc) * 1000)::bigint, (extract(epoch from ended_utc) * 1000)::bigint,"
    " command, station, operator, slot, location, interface, serial,"
    " ap_version, isp_version, customer_version, param_path, param_sha256, param_size, isp_path,"
    " isp_sha256, isp_size, fw_path, fw_sha256, fw_size, result, exit_status, last_log_line, log,"
    " read_back_sha256, read_back_size";

constexpr const char* kImageKeys[] = {"ParamFile", "IspFile", "FwFile"};

Param Text(const std::string& text) { return text.empty() ? Param() : Param(text); }

void AddDigest(std::vector<Param>& params, const std::optional<FileDigest>& digest) {
  params.push_back(digest ? Param(ToHex(digest->digest)) : Param());
  params.push_back(digest ? Param(std::to_string(digest->size)) : Param());
}

std::vector<Param> RowParams(const RunRow& row, const std::string& sentBy) {
  std::vector<Param> params = {row.runId, IsoUtc(row.startUtcMs), IsoUtc(row.endUtcMs), row.command,
                               row.station, row.operatorName, row.slot};
  for (const std::string* text : {&row.location, &row.interfacePath, &row.serial, &row.apVersion,
                                  &row.ispVersion, &row.customerVersion}) {
    params.push_back(Text(*text));
  }
  for (const char* key : kImageKeys) {
    const RunRow::Image* image = nullptr;
    for (const RunRow::Image& file : row.files) {
      if (file.key == key) image = &file;
    }
    params.push_back(image ? Param(image->path) : Param());
    AddDigest(params, image ? image->digest : std::nullopt);
  }
  params.push_back(row.result);
  params.push_back(std::to_string(row.exitStatus));
  params.push_back(row.lastLogLine);
  params.push_back(nlohmann::json(row.log).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  AddDigest(params, row.readBack);
  params.push_back(sentBy);
  return params;
}

std::string InsertSql() {
  std::string sql = std::string("INSERT INTO burnbench_runs (") + kColumns + ", sent_by) VALUES (";
  for (int i = 1; i <= kColumnCount + 1; ++i) sql += Format(i == 1 ? "$%d" : ", $%d", i);
  return sql + ") ON CONFLICT (run_id) DO NOTHING";
}

std::string At(const PGresult* result, int row, int column) {
  return PQgetisnull(result, row, column) ? std::string() : PQgetvalue(result, row, column);
}

std::optional<std::string> OptionalAt(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return std::nullopt;
  return std::string(PQgetvalue(result, row, column));
}

std::int64_t NumberAt(const PGresult* result, int row, int column) {
  const std::string text = At(result, row, column);
  return text.empty() ? 0 : std::stoll(text);
}

std::optional<FileDigest> DigestAt(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column) || PQgetisnull(result, row, column + 1)) return std::nullopt;
  const std::optional<Sha256Digest> digest = ParseSha256(At(result, row, column));
  const std::int64_t size = NumberAt(result, row, column + 1);
  if (!digest || size < 0) return std::nullopt;
  return FileDigest{*digest, static_cast<std::uint64_t>(size)};
}

RunRow ReadRow(const PGresult* result, int i) {
  RunRow row;
  row.runId = At(result, i, 0);
  row.startUtcMs = NumberAt(result, i, 1);
  row.endUtcMs = NumberAt(result, i, 2);
  row.command = At(result, i, 3);
  row.station = OptionalAt(result, i, 4);
  row.operatorName = OptionalAt(result, i, 5);
  row.slot = OptionalAt(result, i, 6);
  std::string* texts[] = {&row.location,  &row.interfacePath, &row.serial,
                          &row.apVersion, &row.ispVersion,    &row.customerVersion};
  for (int c = 0; c < 6; ++c) *texts[c] = At(result, i, c + 7);
  for (int k = 0; k < 3; ++k) {
    const int first = 13 + 3 * k;
    if (PQgetisnull(result, i, first)) continue;
    row.files.push_back(RunRow::Image{kImageKeys[k], At(result, i, first), DigestAt(result, i, first + 1)});
  }
  row.result = At(result, i, 22);
  row.exitStatus = static_cast<int>(NumberAt(result, i, 23));
  row.lastLogLine = At(result, i, 24);
  const nlohmann::json log = nlohmann::json::parse(At(result, i, 25), nullptr, false);
  if (log.is_array()) {
    for (const nlohmann::json& line : log) {
      if (line.is_string()) row.log.push_back(line.get<std::string>());
    }
  }
  row.readBack = DigestAt(result, i, 26);
  return row;
}

// The conditions of `filter` as SQL, with their values in `params`.
std::string Where(const RunFilter& filter, std::vector<Param>& params) {
  std::string sql = " WHERE true";
  // Each condition ends in its parameter's number.
  const auto add = [&](const char* condition, std::string value, const char* after = "") {
    params.push_back(std::move(value));
    sql += condition + std::to_string(params.size()) + after;
  };
  if (!filter.serial.empty()) add(" AND lower(serial) = lower($", filter.serial, ")");
  if (!filter.slot.empty()) add(" AND slot = $", filter.slot);
  if (!filter.station.empty()) add(" AND COALESCE(station, sent_by) = $", filter.station);
  if (filter.sinceUtcMs) add(" AND started_utc >= $", IsoUtc(*filter.sinceUtcMs), "::timestamptz");
  if (filter.untilUtcMs) add(" AND started_utc < $", IsoUtc(*filter.untilUtcMs), "::timestamptz");
  if (!filter.result.empty()) add(" AND result = $", filter.result);
  if (filter.firmware) add(" AND fw_sha256 = $", ToHex(*filter.firmware));
  return sql;
}

// The version the line's table has: 0 for no table, -1 with `answer` set when
// the server cannot be asked.
int ReadVersion(pg::Connection& connection, pg::Answer& answer) {
  answer = connection.Run(kReadVersion);
  if (!answer.Ok()) return -1;
  const PGresult* result = answer.result.get();
  if (PQntuples(result) != 1 || PQgetisnull(result, 0, 0)) return 0;
  const std::string comment = PQgetvalue(result, 0, 0);
  if (!comment.starts_with(kVersionPrefix)) return 0;
  try {
    return std::stoi(comment.substr(sizeof kVersionPrefix - 1));
  } catch (...) {
    return 0;
  }
}

class PostgresLineStore final : public LineStore {
 public:
  PostgresLineStore(const std::string& conninfo, std::uint32_t timeoutMs) : connection_(conninfo, timeoutMs) {}

  LineAnswer Send(std::span<const RunRow> rows, const std::string& sentBy, std::string& why) override {
    LineAnswer kind = LineAnswer::kUnreachable;
    if (!Ready(why, kind)) return kind;
    pg::Answer answer = connection_.Run("BEGIN");
    static const std::string insert = InsertSql();
    for (const RunRow& row : rows) {
      if (!answer.Ok()) break;
      answer = connection_.Run(insert.c_str(), RowParams(row, sentBy));
    }
    if (answer.Ok()) answer = connection_.Run("COMMIT");
    if (answer.Ok()) return LineAnswer::kTaken;
    why = answer.why;
    connection_.Run("ROLLBACK");
    checked_ = false;
    return answer.kind;
  }

  bool Find(const RunFilter& filter, std::vector<RunRow>& rows, std::string& why) override {
    LineAnswer kind = LineAnswer::kUnreachable;
    if (!Ready(why, kind)) return false;
    std::vector<Param> params;
    std::string sql = std::string("SELECT ") + kSelectColumns + " FROM burnbench_runs" + Where(filter, params) +
                      " ORDER BY started_utc DESC, run_id";
    if (filter.limit != 0) {
      params.push_back(std::to_string(filter.limit));
      sql += Format(" LIMIT $%zu", params.size());
    }
    const pg::Answer answer = connection_.Run(sql.c_str(), params);
    if (!answer.Ok()) {
      why = answer.why;
      return false;
    }
    for (int i = 0; i < PQntuples(answer.result.get()); ++i) rows.push_back(ReadRow(answer.result.get(), i));
    return true;
  }

  bool Summary(const RunFilter& filter, std::vector<LineSummaryRow>& rows, std::string& why) override {
    LineAnswer kind = LineAnswer::kUnreachable;
    if (!Ready(why, kind)) return false;
    std::vector<Param> params;
    const std::string where = Where(filter, params);
    params.push_back(filter.sinceUtcMs ? Param(IsoUtc(*filter.sinceUtcMs)) : Param());
    params.push_back(filter.untilUtcMs ? Param(IsoUtc(*filter.untilUtcMs)) : Param());
    const std::size_t since = params.size() - 1;
    const std::size_t until = params.size();
    // The span is the one asked for (not beyond now), else from the first
    // run's start to the last one's end; at least a minute.
    const std::string sql = Format(
        "SELECT COALESCE(station, sent_by), COALESCE(slot, ''),"
        " count(*) FILTER (WHERE result = 'ok'), count(*) FILTER (WHERE result = 'failed'),"
        " count(*) FILTER (WHERE result IN ('ok', 'failed')) / GREATEST(extract(epoch FROM"
        " COALESCE(LEAST($%zu::timestamptz, now()), max(ended_utc)) - COALESCE($%zu::timestamptz, min(started_utc)))"
        " / 3600.0, 1.0 / 60)"
        " FROM burnbench_runs%s GROUP BY 1, 2 ORDER BY 1, 2",
        until, since, where.c_str());
    const pg::Answer answer = connection_.Run(sql.c_str(), params);
    if (!answer.Ok()) {
      why = answer.why;
      return false;
    }
    const PGresult* result = answer.result.get();
    for (int i = 0; i < PQntuples(result); ++i) {
      rows.push_back(LineSummaryRow{At(result, i, 0), At(result, i, 1),
                                    static_cast<std::uint64_t>(NumberAt(result, i, 2)),
                                    static_cast<std::uint64_t>(NumberAt(result, i, 3)),
                                    std::stod(At(result, i, 4))});
    }
    return true;
  }

 private:
  // Connected, and the table of the version this program knows: checked once
  // per connection.
  bool Ready(std::string& why, LineAnswer& kind) {
    pg::Answer answer = connection_.Open();
    if (!answer.Ok()) {
      checked_ = false;
      why = answer.why;
      kind = answer.kind;
      return false;
    }
    if (checked_) return true;
    const int version = ReadVersion(connection_, answer);
    kind = LineAnswer::kSaidNo;
    if (version < 0) {
      why = answer.why;
      kind = answer.kind;
    } else if (version == 0) {
      why = "it has no table burnbench_runs of this program: run burnbench-cli line-setup";
    } else if (version > kLineSchemaVersion) {
      why = Format("its schema version %d is newer than this program's %d", version, kLineSchemaVersion);
    } else if (version < kLineSchemaVersion) {
      why = Format("its schema version %d is older than this program's %d: run burnbench-cli line-setup", version,
                   kLineSchemaVersion);
    } else {
      checked_ = true;
      return true;
    }
    return false;
  }

  pg::Connection connection_;
  bool checked_ = false;
};

}  // namespace

std::unique_ptr<LineStore> OpenLineStore(const std::string& conninfo, std::uint32_t timeoutMs) {
  return std::make_unique<PostgresLineStore>(conninfo, timeoutMs);
}

bool SetUpLine(const std::string& conninfo, std::uint32_t timeoutMs, std::string& said) {
  pg::Connection connection(conninfo, timeoutMs);
  pg::Answer answer = connection.Open();
  if (answer.Ok()) answer = connection.Run("BEGIN");
  // One set-up at a time: a second waits for the first and then finds its work done.
  if (answer.Ok()) answer = connection.Run("SELECT pg_advisory_xact_lock(2860)");
  int version = -1;
  if (answer.Ok()) version = ReadVersion(connection, answer);
  if (version > kLineSchemaVersion) {
    said = Format("the line's table has schema version %d, newer than this program's %d: left as it is", version,
                  kLineSchemaVersion);
    connection.Run("ROLLBACK");
    return false;
  }
  for (const Step& step : kSteps) {
    if (!answer.Ok() || step.to <= version) continue;
    answer = connection.Run(step.sql);
  }
  if (answer.Ok() && version < kLineSchemaVersion) {
    const std::string comment =
        "COMMENT ON TABLE burnbench_runs IS '" + std::string(kVersionPrefix) + std::to_string(kLineSchemaVersion) + "'";
    answer = connection.Run(comment.c_str());
  }
  if (answer.Ok()) answer = connection.Run("COMMIT");
  if (!answer.Ok()) {
    said = "cannot set up the line's table: " + answer.why;
    connection.Run("ROLLBACK");
    return false;
  }
  said = version == kLineSchemaVersion
             ? Format("the line's table burnbench_runs has schema version %d already", kLineSchemaVersion)
             : Format("the line's table burnbench_runs has schema version %d (it had %d)", kLineSchemaVersion,
                      version);
  return true;
}

}  // namespace bb
