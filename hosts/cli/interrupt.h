#pragma once

#include <chrono>

namespace bb::cli {

// Ctrl-C in the command-line program. The first one asks every run of the
// process to end as soon as its camera is safe, and says so on standard
// error at once; a second one ends the program on the spot. The request is
// process-wide and stays: each run looks at it for itself.
void InstallInterruptHandler();

// True once Ctrl-C has been pressed.
bool Interrupted();

// Waits up to `timeout` of real time for Ctrl-C; true when it has come.
bool WaitForInterrupt(std::chrono::milliseconds timeout);

}  // namespace bb::cli
