#pragma once

#include "cli_session.h"
#include "platform/camera_link.h"
#include "terminal.h"

namespace bb::cli {

// `station`: burns every camera plugged into the station's slots, each once,
// until Ctrl-C or until a simulated line is done; then the shift's summary.
// Returns 0 when every run passed, 1 when one failed, 2 when the station
// cannot start, 130 when Ctrl-C ended runs.
int RunStation(const ProcessSetup& setup, CameraWorld* world, Terminal& terminal);

}  // namespace bb::cli
