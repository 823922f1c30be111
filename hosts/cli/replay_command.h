#pragma once

#include <cstdio>
#include <string>

#include "cli_options.h"

namespace bb::cli {

// burnbench-cli replay FILE [OPERAND]: runs the command of a recording again,
// the camera answering from the recording on a virtual clock. Returns the
// command's exit status; 1 when the run parts from the recording, 2 when the
// recording cannot be used.
int RunReplay(const Options& options, const std::string& executablePath, std::FILE* out,
              std::FILE* err);

}  // namespace bb::cli
