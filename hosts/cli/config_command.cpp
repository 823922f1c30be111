#include "offline_command.h"

#include "burn/job_config.h"
#include "config_report.h"
#include "line_settings.h"
#include "util/connection_text.h"

namespace bb::cli {

// `config`: the start-up settings and the job as read.
int RunConfig(OfflineCommand& command) {
  if (!command.SettingsRead()) return kExitUnusable;
  // Without --ini an installed program chooses among several files.
  command.channel.Note("burnbench-cli: configuration file " + command.setup.iniPath);
  BurnJob job;
  LoadJob(command.profile, command.context, command.console, kVexa2860, &job);
  PrintConfig(command.context.settings, job, command.channel.terminal.Out());
  // The line's connection string, with any secret it holds masked.
  const std::string line = ConfiguredLine(command.profile, command.setup.iniPath);
  if (!line.empty()) std::fprintf(command.channel.terminal.Out(), "Line = %s\n", MaskConnectionSecrets(line).c_str());
  return kExitSuccess;
}

}  // namespace bb::cli
