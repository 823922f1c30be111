#pragma once

#include <cstdint>
#include <string>

#include "camera_link.h"
#include "cli_options.h"
#include "common/context.h"
#include "platform/run_store.h"
#include "platform/timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "terminal.h"

namespace bb::cli {

// Exit statuses of the program and of each camera's session.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUnusable = 2;
// As a shell reports a program that Ctrl-C ended.
inline constexpr int kExitInterrupted = 130;

// What every session of the process shares; read-only while sessions run.
struct ProcessSetup {
  const Options& options;
  // The folder of Isp.ini, the product version and the settings as read.
  ProcessValues values;
  std::string iniPath;
  bool settingsRead = false;
  // Where each run appends its report line; empty for none.
  std::string reportPath;
  // The database that keeps every run; null for none. Shared by the sessions.
  RunStore* store = nullptr;
};

// What came of one session's command.
struct SessionOutcome {
  int exitStatus = kExitFailure;
  std::string lastLine;
  // The run's length as its clock measured it; 0 for commands without a camera.
  std::int64_t durationMs = 0;
};

// Runs the command of the command line as one session, on the calling thread:
// for the camera at `location`, or, without one, for whichever camera the run
// finds first. `world` is null for commands that need no camera.
SessionOutcome RunSession(const ProcessSetup& setup, CameraWorld* world, TerminalChannel channel,
                          const std::string& location);

// What a replay puts in the place of the camera and of time.
struct SessionDevices {
  CameraLink& camera;
  VirtualClock& clock;
  TimerService& timers;
  // Where a read verify keeps what it reads: a folder of the replay's own.
  std::string verifyFolder;
};

// The same against `devices` instead of a camera of the session's own, for
// the camera that the command line names, if it names one.
SessionOutcome RunSession(const ProcessSetup& setup, SessionDevices& devices,
                          TerminalChannel channel);

}  // namespace bb::cli
