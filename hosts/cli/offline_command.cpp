#include "offline_command.h"

#include <map>
#include <string>

namespace bb::cli {

OfflineCommand::OfflineCommand(const ProcessSetup& setupIn, TerminalChannel channelIn)
    : setup(setupIn), options(setupIn.options), channel(channelIn), context(setupIn.values), console(channelIn) {
  context.controllerCode = kVexa2860;
}

bool OfflineCommand::SettingsRead() const {
  if (setup.settingsRead) return true;
  channel.Note("burnbench-cli: cannot read " + setup.iniPath);
  return false;
}

int RunOfflineCommand(const ProcessSetup& setup, TerminalChannel channel) {
  static const std::map<std::string, int (*)(OfflineCommand&)> commands = {
      {"convert", RunConvert}, {"export", RunExport},       {"compare", RunCompare},
      {"config", RunConfig},   {"udev-rule", RunUdevRule}, {"pin", RunPin},
  };
  const auto found = commands.find(setup.options.command);
  if (found == commands.end()) return kExitUnusable;
  OfflineCommand command(setup, channel);
  return found->second(command);
}

}  // namespace bb::cli
