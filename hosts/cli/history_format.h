#pragma once

#include <string>
#include <vector>

#include "platform/run_store.h"

namespace bb::cli {

// The runs as a table for a terminal: a header, then a row each, start times
// in local time, texts from cameras and files with their control characters
// escaped.
std::string HistoryTable(const std::vector<RunRow>& rows);

// The runs as CSV (RFC 4180) with a header, times in UTC; a text that a
// spreadsheet would take for a formula starts with an apostrophe.
std::string HistoryCsv(const std::vector<RunRow>& rows);

// One run, a member a line, then its whole log.
std::string RunDetails(const RunRow& row);

}  // namespace bb::cli
