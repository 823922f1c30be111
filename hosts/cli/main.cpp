#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/process_values.h"
#include "cli_options.h"
#include "cli_session.h"
#include "native_process_info.h"

namespace {

// The first Ctrl-C ends the run as Esc would, at the next step; a second one,
// for a technician who cannot wait for a transfer to finish, ends the program.
extern "C" void OnInterrupt(int) {
  bb::cli::gInterrupted.store(true);
  std::signal(SIGINT, SIG_DFL);
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
  std::signal(SIGINT, OnInterrupt);
  return bb::cli::RunSession(*options, process.ExecutablePath(), stdout, stderr);
}
