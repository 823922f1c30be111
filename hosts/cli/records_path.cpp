#include "app/run_report.h"
#include "records.h"
#include "util/paths.h"

namespace bb::cli {

std::string DatabasePathFor(const Options& options, const Settings& settings, const std::string& iniFolder) {
  const std::string& chosen = !options.dbPath.empty() ? options.dbPath : settings.recordsDatabase;
  if (chosen == "none") return {};
  if (!options.dbPath.empty()) return options.dbPath;
  // Resolved as the report file is: beside Isp.ini unless absolute.
  return ReportPath(chosen.empty() ? std::string("burnbench.db") : chosen, iniFolder);
}

}  // namespace bb::cli
