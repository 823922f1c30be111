#pragma once

#include <string>
#include <utility>

#include "app/run_keeper.h"
#include "platform/run_store.h"
#include "terminal.h"

namespace bb::cli {

// Each run's record as the command line keeps it: its line in the run report
// (--report, or [Report] File), then its row in the database of runs. What
// cannot be kept is a warning on the session's channel: the run is done all
// the same.
class ReportingKeeper final : public RunKeeper {
 public:
  // `reportPath` empty, `store` null: none of that kind.
  ReportingKeeper(std::string reportPath, RunStore* store, TerminalChannel channel)
      : reportPath_(std::move(reportPath)), store_(store), channel_(channel) {}

  void Keep(const RunRecord& record) override;

 private:
  std::string reportPath_;
  RunStore* store_;
  TerminalChannel channel_;
};

}  // namespace bb::cli
