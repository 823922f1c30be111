#include <fstream>

#include "cli_session.h"
#include "history_filter.h"
#include "history_format.h"
#include "platform/run_row_json.h"
#include "platform/sqlite/run_row_parse.h"
#include "platform/sqlite/sqlite_run_store.h"
#include "platform/std/system_clock.h"
#include "records.h"
#include "util/format.h"

namespace bb::cli {

namespace {

// Each line of a JSON-lines report into the database, once however often it
// is imported; a line that holds no run is named and left out.
int Import(const std::string& file, const std::string& path, Clock& clock, std::FILE* out, std::FILE* err) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(err, "burnbench-cli: cannot read %s\n", file.c_str());
    return kExitUnusable;
  }
  std::vector<RunRow> rows;
  std::size_t number = 0;
  std::size_t damaged = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::string why;
    std::optional<RunRow> row = ParseRunRowLine(line, why);
    if (row) {
      rows.push_back(std::move(*row));
    } else {
      ++damaged;
      std::fprintf(err, "burnbench-cli: line %zu of %s is no run record (%s)\n", number, file.c_str(), why.c_str());
    }
  }
  if (in.bad()) {
    std::fprintf(err, "burnbench-cli: cannot read %s to its end\n", file.c_str());
    return kExitFailure;
  }
  OpenedStore opened = OpenRunStore(path, StoreUse::kWrite, StoreWaits{clock});
  for (const std::string& note : opened.notes) std::fprintf(err, "%s\n", note.c_str());
  std::size_t added = 0;
  std::string why;
  if (!opened.store->AddAll(rows, added, why)) {
    std::fprintf(err, "burnbench-cli: cannot import into %s: %s\n", path.c_str(), why.c_str());
    return kExitFailure;
  }
  std::fprintf(out, "%zu runs read from %s, %zu of them new in %s\n", rows.size(), file.c_str(), added,
               path.c_str());
  return damaged == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace

int RunHistory(const Options& options, const std::string& path, std::FILE* out, std::FILE* err) {
  const HistoryOptions& history = options.history;
  if (path.empty()) {
    std::fputs("burnbench-cli: history needs a database, and --db none or [Records] Database=none names none\n",
               err);
    return kExitUnusable;
  }
  SystemClock clock;
  if (!history.importPath.empty()) return Import(history.importPath, path, clock, out, err);
  RunFilter filter;
  std::string error;
  if (!FilterOf(history, clock.UtcNowMs(), filter, error)) {
    std::fprintf(err, "burnbench-cli: %s\n", error.c_str());
    return kExitUnusable;
  }
  OpenedStore opened = OpenRunStore(path, StoreUse::kRead, StoreWaits{clock});
  for (const std::string& note : opened.notes) std::fprintf(err, "%s\n", note.c_str());
  if (!opened.store) {
    std::fprintf(err, "burnbench-cli: no database of runs at %s\n", path.c_str());
    return kExitFailure;
  }
  if (!history.run.empty()) {
    const std::optional<RunRow> row = opened.store->Get(history.run, error);
    if (!row) {
      std::fprintf(err, "burnbench-cli: %s\n", error.c_str());
      return kExitFailure;
    }
    std::fputs(history.json ? RunRowLine(*row, RowForm::kWhole).c_str() : RunDetails(*row).c_str(), out);
    return kExitSuccess;
  }
  std::vector<RunRow> rows;
  if (!opened.store->Find(filter, rows, error)) {
    std::fprintf(err, "burnbench-cli: cannot read %s: %s\n", path.c_str(), error.c_str());
    return kExitFailure;
  }
  if (history.json) {
    for (const RunRow& row : rows) std::fputs(RunRowLine(row, RowForm::kWhole).c_str(), out);
  } else {
    std::fputs(history.csv ? HistoryCsv(rows).c_str() : HistoryTable(rows).c_str(), out);
  }
  return kExitSuccess;
}

}  // namespace bb::cli
