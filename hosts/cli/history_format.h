#pragma once

#include <string>
#include <vector>

#include "history_options.h"
#include "platform/line_store.h"
#include "platform/run_store.h"

namespace bb::cli {

// The runs as a table for a terminal: a header, then a row each, start times
// in local time, texts from cameras and files with their control characters
// escaped. A line's database holds the runs of several stations: with
// `stations`, each row names its own.
std::string HistoryTable(const std::vector<RunRow>& rows, bool stations = false);

// The runs as CSV (RFC 4180) with a header, times in UTC; a text that a
// spreadsheet would take for a formula starts with an apostrophe.
std::string HistoryCsv(const std::vector<RunRow>& rows);

// The line's counts per station and slot, as a table.
std::string LineSummaryTable(const std::vector<LineSummaryRow>& rows);

// One run, a member a line, then its whole log.
std::string RunDetails(const RunRow& row);

}  // namespace bb::cli
