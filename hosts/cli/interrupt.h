#pragma once

#include <chrono>

namespace bb::cli {

// Ctrl-C in the command-line program. For a run, the first one asks every run
// of the process to end as soon as its camera is safe, and says so on
// standard error at once; a second one ends the program on the spot. A
// station takes one more: the first stops it taking cameras and lets the runs
// under way finish, the second ends them where their camera is safe, the
// third ends the program. The presses are process-wide and stay: each run
// looks at them for itself.
void InstallInterruptHandler();
void InstallStationInterruptHandler();

// True once Ctrl-C has been pressed.
bool Interrupted();
// How many times it has been pressed.
int InterruptPresses();

// Waits up to `timeout` of real time for Ctrl-C; true when it has come.
bool WaitForInterrupt(std::chrono::milliseconds timeout);

}  // namespace bb::cli
