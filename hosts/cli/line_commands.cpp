#include "line_commands.h"

#include <cstdlib>
#include <memory>

#include "config/optional_value.h"
#include "history_filter.h"
#include "history_format.h"
#include "host_name.h"
#include "native_profile.h"
#include "platform/postgres/postgres_line_store.h"
#include "platform/run_row_json.h"
#include "platform/std/system_clock.h"
#include "records.h"
#include "station/line_forwarder.h"
#include "util/connection_text.h"
#include "util/format.h"

namespace bb::cli {

namespace {

// A test hook: the process dies right after the line's server committed a
// batch, before the local mark, as a crash or a power cut would have it.
class DiesAfterCommit final : public LineStore {
 public:
  explicit DiesAfterCommit(std::unique_ptr<LineStore> line) : line_(std::move(line)) {}
  LineAnswer Send(std::span<const RunRow> rows, const std::string& sentBy, std::string& why) override {
    const LineAnswer answer = line_->Send(rows, sentBy, why);
    if (answer == LineAnswer::kTaken) std::_Exit(70);
    return answer;
  }
  bool Find(const RunFilter& filter, std::vector<RunRow>& rows, std::string& why) override {
    return line_->Find(filter, rows, why);
  }
  bool Summary(const RunFilter& filter, std::vector<LineSummaryRow>& rows, std::string& why) override {
    return line_->Summary(filter, rows, why);
  }

 private:
  std::unique_ptr<LineStore> line_;
};

// The line's settings, or exit 2 with the reason on `err`.
bool LineOf(const ProcessSetup& setup, LineSettings& settings, std::FILE* err) {
  NativeProfile profile;
  std::string error;
  if (!ReadLineSettings(setup.options, profile, setup.iniPath, settings, error)) {
    std::fprintf(err, "burnbench-cli: %s\n", error.c_str());
    return false;
  }
  if (settings.database.empty()) {
    std::fprintf(err, "burnbench-cli: no line's database: give [Line] Database in %s, or --line URI\n",
                 setup.iniPath.c_str());
    return false;
  }
  return true;
}

std::string StationName(const ProcessSetup& setup) {
  NativeProfile profile;
  const std::unique_ptr<ProfileReading> reading = profile.Read(setup.iniPath);
  const std::string name = ReadOptionalString(*reading, "Station", "Name", 256).value_or("");
  return name.empty() ? HostName() : name;
}

}  // namespace

std::unique_ptr<LineStore> OpenLine(const LineSettings& settings, std::string&) {
  std::unique_ptr<LineStore> line = OpenLineStore(settings.database, settings.timeoutMs);
  const char* hook = std::getenv("BURNBENCH_TEST_LINE_DIES_AFTER_COMMIT");
  if (hook != nullptr && *hook != '\0') return std::make_unique<DiesAfterCommit>(std::move(line));
  return line;
}

int RunForward(const ProcessSetup& setup, const std::string& database, std::FILE* out, std::FILE* err) {
  LineSettings settings;
  if (!LineOf(setup, settings, err)) return kExitUnusable;
  if (database.empty()) {
    std::fputs("burnbench-cli: --db none keeps no runs, so there are none to send to the line\n", err);
    return kExitUnusable;
  }
  Records records = OpenRecords(database);
  for (const std::string& note : records.notes) std::fprintf(err, "%s\n", note.c_str());
  std::string error;
  std::unique_ptr<LineStore> line = OpenLine(settings, error);
  SystemClock clock;
  std::size_t before = 0;
  records.store->CountWaiting(before, error);
  LineForwarder forwarder({*records.store, *line, clock, [](const LineView&) {},
                           [err](const std::string& warning) { std::fprintf(err, "%s\n", warning.c_str()); }},
                          StationName(setup), MaskConnectionSecrets(settings.database), settings.pace);
  const LineView view = forwarder.SendWaiting();
  std::fprintf(out, "%zu runs sent to the line, %zu waiting\n", before - std::min(before, view.waiting),
               view.waiting);
  return view.state == LineView::State::kSent ? kExitSuccess : kExitFailure;
}

int RunLineSetup(const ProcessSetup& setup, std::FILE* out, std::FILE* err) {
  LineSettings settings;
  if (!LineOf(setup, settings, err)) return kExitUnusable;
  std::string said;
  const bool done = SetUpLine(settings.database, settings.timeoutMs, said);
  std::fprintf(done ? out : err, "%s%s\n", done ? "" : "burnbench-cli: ", said.c_str());
  return done ? kExitSuccess : kExitFailure;
}

int RunLineHistory(const ProcessSetup& setup, std::FILE* out, std::FILE* err) {
  const HistoryOptions& history = setup.options.history;
  LineSettings settings;
  if (!LineOf(setup, settings, err)) return kExitUnusable;
  SystemClock clock;
  RunFilter filter;
  std::string error;
  if (!FilterOf(history, clock.UtcNowMs(), filter, error)) {
    std::fprintf(err, "burnbench-cli: %s\n", error.c_str());
    return kExitUnusable;
  }
  std::unique_ptr<LineStore> line = OpenLine(settings, error);
  const std::string shown = MaskConnectionSecrets(settings.database);
  if (history.summary) {
    std::vector<LineSummaryRow> rows;
    if (!line->Summary(filter, rows, error)) {
      std::fprintf(err, "burnbench-cli: cannot ask the line's database %s: %s\n", shown.c_str(), error.c_str());
      return kExitFailure;
    }
    std::fputs(LineSummaryTable(rows).c_str(), out);
    return kExitSuccess;
  }
  std::vector<RunRow> rows;
  if (!line->Find(filter, rows, error)) {
    std::fprintf(err, "burnbench-cli: cannot ask the line's database %s: %s\n", shown.c_str(), error.c_str());
    return kExitFailure;
  }
  if (history.json) {
    for (const RunRow& row : rows) std::fputs(RunRowLine(row, RowForm::kWhole).c_str(), out);
  } else {
    std::fputs(history.csv ? HistoryCsv(rows).c_str() : HistoryTable(rows, true).c_str(), out);
  }
  return kExitSuccess;
}

}  // namespace bb::cli
