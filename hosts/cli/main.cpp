#include <cstdio>
#include <string>
#include <vector>

#include "app/process_values.h"
#include "camera_runner.h"
#include "cli_options.h"
#include "cli_session.h"
#include "interrupt.h"
#include "native_process_info.h"

namespace {

// Runs with a camera end as Esc would end them, when the camera is safe; the
// offline commands end at once, as any file tool does.
bool TalksToCamera(const std::string& command) {
  return command == "versions" || command == "burn" || command == "read" || command == "legacy";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string error;
  const std::optional<bb::cli::Options> options = bb::cli::ParseOptions(arguments, error);
  if (!options) {
    std::fprintf(stderr, "burnbench-cli: %s\n\n%s", error.c_str(), bb::cli::UsageText());
    return 2;
  }
  bb::NativeProcessInfo process;
  if (options->help) {
    std::fputs(bb::cli::UsageText(), stdout);
    return 0;
  }
  if (options->version) {
    const bb::ProductVersion version = bb::ReadProductVersion(process);
    std::printf("burnbench-cli %u.%u.%u.%u\n", version.Major(), version.Minor(), version.Build(),
                version.Revision());
    return 0;
  }
  if (options->command == "station") bb::cli::InstallStationInterruptHandler();
  else if (TalksToCamera(options->command)) bb::cli::InstallInterruptHandler();
  return bb::cli::RunCommandLine(*options, process.ExecutablePath(), stdout, stderr);
}
