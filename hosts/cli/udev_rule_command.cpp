#include "offline_command.h"

#include <cstdio>

#include "camera_ids.h"
#include "udev_rule.h"
#include "udev_rule_template.h"

namespace bb::cli {

// `udev-rule`: the rule for the configured camera ids.
int RunUdevRule(OfflineCommand& command) {
  const CameraIds chosen = ChooseCameraIds(command.options, command.profile, command.setup.iniPath);
  if (!chosen.problem.empty()) {
    command.channel.terminal.Print(chosen.problem);
    return kExitUnusable;
  }
  std::fputs(UdevRuleFor(kUdevRuleTemplate, chosen.ids).c_str(), command.channel.terminal.Out());
  return kExitSuccess;
}

}  // namespace bb::cli
