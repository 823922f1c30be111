#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/camera_session.h"
#include "app/exit_status.h"
#include "cli_options.h"
#include "common/context.h"
#include "common/shared_image.h"
#include "platform/camera_link.h"
#include "platform/run_store.h"
#include "platform/shared_time.h"
#include "platform/timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "station/station_ports.h"
#include "terminal.h"

namespace bb::cli {

// What every session of the process shares; read-only while sessions run.
struct ProcessSetup {
  const Options& options;
  // The folder of Isp.ini, the product version and the settings as read.
  ProcessValues values;
  std::string iniPath;
  bool settingsRead = false;
  // Where each run appends its report line; empty for none.
  std::string reportPath;
  // The job's images as read once for every session of the process (--all);
  // null: each run reads its own.
  std::shared_ptr<const SharedImages> sharedImages;
  // The database that keeps every run; null for none. Shared by the sessions.
  RunStore* store = nullptr;
};

// Runs the camera command of the command line as one session, on the calling
// thread: for the camera at `location`, or, without one, for whichever camera
// the run finds first.
SessionOutcome RunSession(const ProcessSetup& setup, CameraWorld& world, TerminalChannel channel,
                          const std::string& location);

// A burn that a station starts on the camera at one of its slots: the
// station's time, what the run tells the station as it goes, and the images
// that every run of the station shares.
struct StationRun {
  SharedTime& time;
  RunWatcher& watcher;
  std::shared_ptr<const SharedImages> images;
  std::string slot;
  // What every record of the station's runs says of it.
  std::string stationName;
  std::optional<std::string> operatorName;
  bool verify = false;
  // True once the run is to end where its camera is safe.
  std::function<bool()> stop;
};

// The station's burn of the camera at `location`, on the calling thread,
// which takes part in the station's time.
SessionOutcome RunSession(const ProcessSetup& setup, CameraWorld& world, TerminalChannel channel,
                          const std::string& location, StationRun& run);

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
