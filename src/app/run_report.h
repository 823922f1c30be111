#pragma once

#include <string>

#include "app/run_tracker.h"
#include "platform/run_store.h"

namespace bb {

// The record of a run as a store keeps it: command, versions and result as
// the report writes them.
RunRow RowOf(const RunRecord& record);

// One line of a run report: a JSON object with the run's times, id, station,
// operator and slot, command, camera, versions, image files, result and last
// log line, and a line break. Several sessions and processes append such
// lines to one file, each whole.
std::string RunReportLine(const RunRecord& record);

// The report file that Isp.ini names: a drive path, a network path or (on
// POSIX) an absolute path as it is, any other path within `folder`, the folder
// of Isp.ini.
std::string ReportPath(const std::string& configured, const std::string& folder);

}  // namespace bb
