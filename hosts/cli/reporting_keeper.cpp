#include "reporting_keeper.h"

#include "app/run_report.h"
#include "platform/append_file.h"

namespace bb::cli {

void ReportingKeeper::Keep(const RunRecord& record) {
  if (!reportPath_.empty() && !AppendWhole(reportPath_, RunReportLine(record))) {
    channel_.Note("burnbench-cli: cannot write the run report to " + reportPath_);
  }
  // A record that the database cannot take waits for the next program, or at
  // least stands in the warning.
  if (store_ == nullptr) return;
  std::string warning;
  const Kept kept = store_->Add(RowOf(record), warning);
  if (kept == Kept::kPending || kept == Kept::kOnlyInWarning) channel_.Note(warning);
}

}  // namespace bb::cli
