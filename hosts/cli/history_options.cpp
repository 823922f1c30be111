#include "history_options.h"

#include <utility>

namespace bb::cli {

bool HistoryOptions::Any() const {
  return json || csv || !serial.empty() || !slot.empty() || !since.empty() || !until.empty() ||
         !result.empty() || !firmware.empty() || !limit.empty() || !run.empty() || !importPath.empty() ||
         !station.empty() || summary;
}

bool TakeHistoryOption(const std::vector<std::string>& arguments, std::size_t& i, HistoryOptions& history,
                       std::string& error) {
  const std::string& argument = arguments[i];
  if (argument == "--json" || argument == "--csv" || argument == "--summary") {
    (argument == "--json" ? history.json : argument == "--csv" ? history.csv : history.summary) = true;
    return true;
  }
  const std::pair<const char*, std::string*> valued[] = {
      {"--slot", &history.slot},   {"--since", &history.since},     {"--until", &history.until},
      {"--result", &history.result}, {"--firmware", &history.firmware}, {"--limit", &history.limit},
      {"--run", &history.run},     {"--import", &history.importPath}, {"--station", &history.station}};
  for (const auto& [name, into] : valued) {
    if (argument != name) continue;
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      error = std::string(name) + " needs a value";
      return false;
    }
    *into = arguments[++i];
    return true;
  }
  return false;
}

bool CheckHistoryOptions(const std::string& command, const HistoryOptions& history, bool line, std::string& error) {
  if (command != "history") {
    if (!history.Any()) return true;
    error = "--json, --csv, --slot, --since, --until, --result, --firmware, --limit, --run, --import, "
            "--station and --summary belong to history";
    return false;
  }
  if ((!history.station.empty() || history.summary) && !line) {
    error = "--station and --summary ask the line's database: they go with --line";
    return false;
  }
  if (line && (!history.importPath.empty() || !history.run.empty())) {
    error = "--import and --run ask the local database, not the line's";
    return false;
  }
  if (history.summary && (history.json || history.csv || !history.run.empty() || !history.limit.empty())) {
    error = "--summary takes filters only";
    return false;
  }
  if (history.json && history.csv) {
    error = "--json and --csv exclude each other";
    return false;
  }
  if (!history.result.empty() && history.result != "ok" && history.result != "failed") {
    error = "--result takes ok or failed, not " + history.result;
    return false;
  }
  const bool filtered = !history.serial.empty() || !history.slot.empty() || !history.since.empty() ||
                        !history.until.empty() || !history.result.empty() || !history.firmware.empty() ||
                        !history.limit.empty();
  if (!history.importPath.empty() && (filtered || !history.run.empty() || history.json || history.csv)) {
    error = "--import takes no other history option";
    return false;
  }
  if (!history.run.empty() && (filtered || history.csv)) {
    error = "--run takes no filter and no --csv";
    return false;
  }
  return true;
}

}  // namespace bb::cli
