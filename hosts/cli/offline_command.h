#pragma once

#include "cli_session.h"
#include "common/context.h"
#include "native_profile.h"
#include "terminal.h"
#include "terminal_console.h"

namespace bb::cli {

// What a command without a camera works with: the configuration file as
// read, a console on the terminal, the command line.
struct OfflineCommand {
  OfflineCommand(const ProcessSetup& setupIn, TerminalChannel channelIn);

  // False, saying so, when the configuration file could not be read.
  bool SettingsRead() const;

  const ProcessSetup& setup;
  const Options& options;
  TerminalChannel channel;
  Context context;
  TerminalConsole console;
  NativeProfile profile;
};

// Each returns the command's exit status.
int RunConvert(OfflineCommand& command);
int RunExport(OfflineCommand& command);
int RunCompare(OfflineCommand& command);
int RunConfig(OfflineCommand& command);
int RunUdevRule(OfflineCommand& command);
int RunPin(OfflineCommand& command);

// The command of the command line that needs no camera.
int RunOfflineCommand(const ProcessSetup& setup, TerminalChannel channel);

}  // namespace bb::cli
