#include "app/run_report.h"

#include "platform/run_row_json.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

namespace {

std::string VersionText(const std::optional<VersionRecord>& record) {
  if (!record) return {};
  return Format("%u.%u.%u.%u", (*record)[0], (*record)[1], (*record)[2], (*record)[3]);
}

}  // namespace

RunRow RowOf(const RunRecord& record) {
  RunRow row;
  row.runId = record.runId;
  row.startUtcMs = record.startUtcMs;
  row.endUtcMs = record.endUtcMs;
  row.command = RunCommandText(record.command);
  row.station = record.station;
  row.operatorName = record.operatorName;
  row.slot = record.slot;
  row.location = record.location;
  row.interfacePath = record.interfacePath;
  row.serial = record.serial;
  row.apVersion = VersionText(record.versions.ap);
  row.ispVersion = VersionText(record.versions.isp);
  row.customerVersion = VersionText(record.versions.customer);
  for (const RunRecord::ImageFile& file : record.files) {
    row.files.push_back(RunRow::Image{file.key, file.path, file.digest});
  }
  row.result = record.succeeded ? kResultOk : kResultFailed;
  row.exitStatus = record.exitStatus;
  row.lastLogLine = record.lastLogLine;
  row.log = record.log;
  row.readBack = record.readBack;
  return row;
}

std::string ReportPath(const std::string& configured, const std::string& folder) {
  const bool drive = configured.size() >= 3 && configured[1] == ':' && IsPathSeparator(configured[2]);
  const bool network = configured.starts_with("\\\\");
#if defined(_WIN32)
  const bool absolute = drive || network;
#else
  const bool absolute = drive || network || configured.starts_with('/');
#endif
  if (absolute || folder.empty()) return configured;
  return folder + kPathSeparator + configured;
}

std::string RunReportLine(const RunRecord& record) {
  return RunRowLine(RowOf(record), RowForm::kReport);
}

}  // namespace bb
