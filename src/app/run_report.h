#pragma once

#include <cstdint>
#include <string>

#include "app/run_tracker.h"

namespace bb {

// "2024-05-01T12:34:56.789Z".
std::string IsoUtc(std::int64_t utcMs);

// One line of a run report: a JSON object with the run's times, command,
// camera, versions, image files, result and last log line, and a line break.
// Several sessions and processes append such lines to one file, each whole.
std::string RunReportLine(const RunRecord& record);

// The report file that Isp.ini names: a drive path, a network path or (on
// POSIX) an absolute path as it is, any other path within `folder`, the folder
// of Isp.ini.
std::string ReportPath(const std::string& configured, const std::string& folder);

}  // namespace bb
