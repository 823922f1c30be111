#include "record_options.h"

#include "platform/record/recording_format.h"

namespace bb::cli {

bool TalksToCamera(const std::string& command) {
  return command == "versions" || command == "burn" || command == "read" || command == "legacy";
}

bool ReplayWithOperand(const Options& options) {
  return options.command == "replay" && options.operands.size() == 2;
}

bool CheckRecordOptions(const Options& options, std::string& error) {
  if (!options.recordPath.empty() && !TalksToCamera(options.command)) {
    error = "--record goes with versions, burn, read and legacy";
    return false;
  }
  // Found out before the camera is touched, not by the replay.
  if (!options.recordPath.empty()) {
    const std::string over = record::CommandLineOverLimits(options.arguments);
    if (!over.empty()) {
      error = "--record cannot record this command line: " + over;
      return false;
    }
  }
  // One recording holds the conversation with one camera.
  if (!options.recordPath.empty() && options.all) {
    error = "--record records one camera; it does not go with --all";
    return false;
  }
  const bool others = options.simulate || !options.faults.empty() || options.virtualClock ||
                      options.waitSeconds != kDefaultWaitSeconds || options.all ||
                      !options.device.empty() || !options.reportPath.empty() ||
                      !options.usbIds.empty() || options.verify || options.paramOnly ||
                      !options.chip.empty() || !options.mode.empty() || !options.media.empty() ||
                      !options.recordPath.empty();
  if (options.command == "replay" && others) {
    error = "replay takes only --ini and --yes; the recording says the rest";
    return false;
  }
  if (options.command == "recording" && (others || !options.iniPath.empty() || options.yes)) {
    error = "recording takes no options";
    return false;
  }
  return true;
}

}  // namespace bb::cli
