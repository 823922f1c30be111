#include "offline_command.h"

#include <cstdint>
#include <string>

#include "device/status_codes.h"
#include "readback/read_verify.h"

namespace bb::cli {

// `compare FILE1 FILE2`: as a read verify judges what it read.
int RunCompare(OfflineCommand& command) {
  std::uint64_t offset = 0;
  const int result = CompareFiles(command.options.operands[0], command.options.operands[1], offset);
  if (result == kFileError) {
    command.channel.Note("burnbench-cli: cannot read both files");
    return kExitUnusable;
  }
  command.console.AddLogLine(result == kOk ? "Read Verify Success !!!" : "Verify Fail !!!");
  if (result == kFilesDiffer) command.channel.Note("first difference at byte " + std::to_string(offset));
  return result == kOk ? kExitSuccess : kExitFailure;
}

}  // namespace bb::cli
