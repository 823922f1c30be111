#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "station/station_view.h"
#include "util/json_text.h"

namespace bb::cli {

// What the station's page and its JSON API say of the station: the same
// model the board shows, member names as the run reports name theirs.
Json SlotJson(const SlotView& slot);
// The header with the line's state as the board words it ("" for no line).
Json HeaderJson(const StationHeader& header, const LineView& line);
Json StraysJson(const std::vector<StrayCamera>& strays);
Json RunEndedJson(const RunEnded& run);
Json SnapshotJson(const StationSnapshot& snapshot, std::uint64_t sequence, const std::deque<RunEnded>& runs);

// One message of an event stream: its event name and its data, one line of
// JSON.
std::string StreamMessage(const char* event, const Json& data);

}  // namespace bb::cli
