#pragma once

#include <string>

#include "platform/run_store.h"
#include "util/json_text.h"

namespace bb {

// What a line of JSON holds of a run: a run report's line, or the whole row
// (the report's members, then the read-back and the log), as pending records
// and `history --json` keep it.
enum class RowForm { kReport, kWhole };

// The run as one JSON object, its members in the report's order.
Json RunRowJson(const RunRow& row, RowForm form);

// One JSON object and a line break.
std::string RunRowLine(const RunRow& row, RowForm form);

}  // namespace bb
