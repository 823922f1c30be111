#pragma once

#include <cstdio>

#include "cli_options.h"

namespace bb::cli {

// burnbench-cli recording FILE: prints a recording for people to read, its
// header and then each call on a line of its own: number, time, what was asked
// and what came back. 2 when the file is not a recording that can be used.
int PrintRecording(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace bb::cli
