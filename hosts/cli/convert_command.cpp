#include "offline_command.h"

#include "burn/image_files.h"
#include "burn/job_config.h"
#include "device/status_codes.h"
#include "readback/brn_convert.h"

namespace bb::cli {

// `convert RAW BRN`: the firmware entry's id is FwFileID of the job, 256
// without one.
int RunConvert(OfflineCommand& command) {
  const std::string& raw = command.options.operands[0];
  if (!FileExists(raw)) {
    command.channel.Note("burnbench-cli: cannot read " + raw);
    return kExitUnusable;
  }
  BurnJob job;
  LoadJob(command.profile, command.context, command.console, kVexa2860, &job);
  if (ConvertToBrn(raw, command.options.operands[1], job.FwFileID, command.console) != kOk) {
    command.console.AddLogLine("Convert BRN File Fail !!!");
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace bb::cli
