#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "cli_options.h"

namespace bb::cli {

// Set by the interrupt handler; the session turns it into the Esc key.
extern std::atomic<bool> gInterrupted;

// Runs one command of the command line and returns the exit status.
int RunSession(const Options& options, const std::string& executablePath, std::FILE* out,
               std::FILE* err);

}  // namespace bb::cli
