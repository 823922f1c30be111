#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/context.h"
#include "app/process_values.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "native_process_info.h"
#include "platform/std/system_clock.h"
#include "platform/std/thread_timer_service.h"
#include "sim/sim_bus.h"
#include "terminal_console.h"
#include "terminal_prompts.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: burnbench-cli [options] COMMAND\n"
      "\n"
      "Commands:\n"
      "  versions     check the camera's versions\n"
      "\n"
      "Options:\n"
      "  --simulate   use the built-in simulated camera instead of USB\n"
      "  --help       show this text\n"
      "  --version    show the product version\n",
      out);
}

}  // namespace

int main(int argc, char** argv) {
  bool simulate = false;
  std::vector<std::string_view> commands;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help") {
      PrintUsage(stdout);
      return kExitSuccess;
    }
    if (argument == "--simulate") {
      simulate = true;
    } else if (argument == "--version") {
      bb::NativeProcessInfo process;
      const bb::ProductVersion version = bb::ReadProductVersion(process);
      std::printf("burnbench-cli %u.%u.%u.%u\n", version.Major(), version.Minor(), version.Build(),
                  version.Revision());
      return kExitSuccess;
    } else if (!argument.empty() && argument[0] == '-') {
      std::fprintf(stderr, "burnbench-cli: unknown option %s\n", argv[i]);
      return kExitUsage;
    } else {
      commands.push_back(argument);
    }
  }
  if (commands.size() != 1 || commands[0] != "versions") {
    PrintUsage(stderr);
    return kExitUsage;
  }
  if (!simulate) {
    std::fputs("burnbench-cli: this build has no USB back end; use --simulate\n", stderr);
    return kExitUsage;
  }

  bb::NativeProcessInfo process;
  bb::Context context;
  context.executableFolder = bb::ComputeExecutableFolder(process);
  context.productVersion = bb::ReadProductVersion(process);

  bb::sim::SimBus camera;
  camera.Attach();
  bb::SystemClock clock;
  bb::ThreadTimerService timers;
  bb::TerminalConsole console(stdout, stderr);
  bb::TerminalPrompts prompts(stderr, false);
  bb::DeviceLink link(camera, clock, timers, prompts);
  bb::DeviceCommands commandsOnCamera(link, console, context);

  console.SetCaption(bb::MainCaption(context.productVersion));
  commandsOnCamera.CheckVersions();
  return kExitSuccess;
}
