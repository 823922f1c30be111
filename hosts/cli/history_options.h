#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bb::cli {

// What `history` asks of the database of runs, as the command line gave it.
struct HistoryOptions {
  bool json = false;
  bool csv = false;
  std::string serial;
  std::string slot;
  std::string since;  // as given: checked when the command runs, in local time
  std::string until;
  std::string result;
  std::string firmware;
  std::string limit;
  std::string run;
  std::string importPath;
  // With --line: the runs of one station, and the counts per station and slot.
  std::string station;
  bool summary = false;
  // Whether any of them was given.
  bool Any() const;
};

// Takes the history option at `arguments[i]` and its value, if it is one:
// true when taken (`i` then at its value), false when `arguments[i]` is no
// history option or its value is missing (then `error` says so).
bool TakeHistoryOption(const std::vector<std::string>& arguments, std::size_t& i, HistoryOptions& history,
                       std::string& error);

// The history options fit together, and belong to `command`.
// `line`: history asks the line's database.
bool CheckHistoryOptions(const std::string& command, const HistoryOptions& history, bool line, std::string& error);

}  // namespace bb::cli
