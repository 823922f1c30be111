#pragma once

#include <cstdio>
#include <string>

#include "cli_options.h"
#include "cli_session.h"

namespace bb::cli {

// What the sessions of this command line share: Isp.ini as read once, the
// program's version and where runs are reported.
ProcessSetup MakeSetup(const Options& options, const std::string& executablePath);

// Runs the command line: a command without a camera, the one camera attached
// (or named by --device), or with --all every camera attached when the command
// starts, each in a session on its own thread. Returns the exit status.
// `given`: the cameras in place of those the options choose (a benchmark's
// cameras, which only count what they are sent).
int RunCommandLine(const Options& options, const std::string& executablePath, std::FILE* out,
                   std::FILE* err, CameraWorld* given = nullptr);

}  // namespace bb::cli
