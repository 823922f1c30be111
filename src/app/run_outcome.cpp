#include "app/run_outcome.h"

namespace bb {

namespace {

bool LastLineIs(const std::vector<std::string>& log, const char* expected) {
  return !log.empty() && log.back() == expected;
}

}  // namespace

bool RunSucceeded(RunCommand command, const std::vector<std::string>& log) {
  switch (command) {
    case RunCommand::kVersions:
      // The check empties the log; all three versions make three lines.
      return log.size() == 3 && log.back().starts_with("F/W Version(") &&
             log.back().ends_with(" [Customer]");
    case RunCommand::kBurn:
      return LastLineIs(log, "ISP Write File OK !!!");
    case RunCommand::kBurnVerify:
      return LastLineIs(log, "Read Verify Success !!!");
    case RunCommand::kParamOnly:
      return LastLineIs(log, "Parameter download OK.");
    case RunCommand::kReadBack:
      return LastLineIs(log, "Read Resource Files Success !!!");
    case RunCommand::kLegacy:
      // A legacy download that went well leaves exactly this one line.
      return log == std::vector<std::string>{"ISP Write File OK."};
  }
  return false;
}

void JudgeRun(RunRecord& record, const std::vector<std::string>& log, bool errorBoxShown) {
  record.succeeded = RunSucceeded(record.command, log) && !errorBoxShown;
  record.exitStatus = record.succeeded ? 0 : 1;
  record.lastLogLine = log.empty() ? std::string() : log.back();
}

}  // namespace bb
