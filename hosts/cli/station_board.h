#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <functional>

#include "station/station_feed.h"
#include "station/station_view.h"

namespace bb::cli {

// The station's board on standard error: a header with the station's name,
// operator, firmware and pin, the counts and since when it runs, then a row
// per slot (label, location, serial, the time its run took, its state), then
// what the operator must know besides. Device text is shown escaped.
std::vector<std::string> StationBoardLines(const StationSnapshot& snapshot);

// How the line's database stands, "line: sent up to 12:04", "line:
// unreachable since 12:05, 37 runs waiting"; empty for a station without one.
std::string LineText(const LineView& line);

// The line on standard output for a run that ended: label, location, serial,
// ok or failed, seconds, last log line, tab-separated.
std::string RunEndedLine(const RunEnded& run);

// The shift's summary: a row per run, then the counts.
std::string ShiftSummary(const std::vector<RunEnded>& runs);

// The board and the plain lines as a view of the station's feed: `draw` is
// handed the board's lines after every change, `ended` each run's line.
class StationBoard final : public StationListener {
 public:
  StationBoard(std::function<void(const std::vector<std::string>&)> draw,
               std::function<void(const std::string&)> ended)
      : draw_(std::move(draw)), ended_(std::move(ended)) {}

  void OnSnapshot(const StationSnapshot& snapshot, std::uint64_t sequence) override;
  void OnEvent(const StationEvent& event) override;

 private:
  StationSnapshot snapshot_;
  std::function<void(const std::vector<std::string>&)> draw_;
  std::function<void(const std::string&)> ended_;
};

}  // namespace bb::cli
