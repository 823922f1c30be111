#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "cli_options.h"
#include "platform/timer_service.h"
#include "platform/virtual/virtual_clock.h"

namespace bb::cli {

class CameraLink;

// What a replay puts in the place of the camera and of time.
struct SessionDevices {
  CameraLink& camera;
  VirtualClock& clock;
  TimerService& timers;
};

// Runs one command of the command line and returns the exit status; with
// `devices`, against those instead of a camera of its own.
int RunSession(const Options& options, const std::string& executablePath, std::FILE* out,
               std::FILE* err, SessionDevices* devices = nullptr);

}  // namespace bb::cli
