#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/exit_status.h"
#include "app/held_controls.h"
#include "app/log_keeper.h"
#include "app/progress_transport.h"
#include "app/run_keeper.h"
#include "app/run_loop.h"
#include "app/run_pace.h"
#include "app/run_tracker.h"
#include "app/stopping_boxes.h"
#include "app/workbench.h"
#include "common/context.h"
#include "common/shared_image.h"
#include "platform/camera_link.h"
#include "platform/std/fifo_step_queue.h"

namespace bb {

// What came of one session's run.
struct SessionOutcome {
  int exitStatus = kExitFailure;
  std::string lastLine;
  // The run's length as its clock measured it.
  std::int64_t durationMs = 0;
  // The run's id in its report and record.
  std::string runId;
};

// The controller and radios of a legacy controller's one-press download.
struct LegacyChoice {
  std::int32_t controllerCode = kVexa618;
  bool mask = false;
  bool normal = false;
  bool nand = false;
  bool rom = false;
};

// What one camera's session is to do: one press of a button of the window.
struct SessionOrder {
  // kVersions, a burn (kBurn, kBurnVerify, kParamOnly), kReadBack or kLegacy.
  RunCommand command = RunCommand::kBurn;
  // A burn reads its image back (a kParamOnly one too).
  bool verify = false;
  // kReadBack: the folder it exports into; kLegacy: the firmware it sends.
  std::string operand;
  LegacyChoice legacy;
  // The camera's location the session keeps to; empty: the first it finds.
  std::string location;
  // How long the run may wait for its camera's return, as said when it ran out.
  std::uint32_t waitSeconds = 0;
};

// Where and by whom a station's run is made, for its record.
struct RunPlace {
  std::string station;
  std::optional<std::string> operatorName;
  std::string slot;
};

// What a session knows of its process and of where its run is made.
struct SessionSetup {
  ProcessValues values;
  // Whether the configuration file could be read.
  bool settingsRead = false;
  // The job's images as read once for every session; null: the run reads its own.
  std::shared_ptr<const SharedImages> images;
  std::optional<RunPlace> place;
  // A replay's folder for what a read verify reads: a replay writes a
  // recording's bytes only where the replayer said, asking before it replaces.
  std::optional<std::string> replayFolder;
};

// What a session reaches the world through, all of it made by its host.
struct SessionPorts {
  CameraLink& camera;
  Clock& clock;
  TimerService& timers;
  Console& console;
  Prompts& prompts;
  Profile& profile;
  RunPace& pace;
  // A line for the operator beside the log.
  std::function<void(const std::string&)> note;
  // Told how each transfer goes; null: no one.
  TransferProgress* progress = nullptr;
  // Told of each step as the run takes it; empty: no one.
  std::function<void(std::uint32_t step)> onStep;
  // Where the run's record goes; null: nowhere.
  RunKeeper* keeper = nullptr;
};

// One camera's session: the workbench wired to its host's ports, running one
// order on the calling thread as the window's message loop would run it.
class CameraSession {
 public:
  CameraSession(const SessionSetup& setup, const SessionOrder& order, const SessionPorts& ports);
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  SessionOutcome Run();

 private:
  SessionOutcome RunOnCamera();
  int Versions();
  int Burn();
  int Legacy();
  int Read();
  RunEnd Pump();
  // A command that runs in one piece cannot be stopped half-way at all.
  RunEnd Unstoppable();
  int Ended(RunEnd end, RunCommand run);
  bool SettingsRead();
  bool SetVerifyFolder();
  // A line of the program's own, named by it.
  void Say(const std::string& text);

  const SessionSetup setup_;
  const SessionOrder order_;
  SessionPorts ports_;
  Context context_;
  LogKeeper log_;
  StoppingBoxes boxes_;
  HeldControls controls_;
  FifoStepQueue steps_;
  std::unique_ptr<ProgressTransport> progress_;
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<Workbench> bench_;
  std::optional<RunRecord> record_;
  bool waitRanOut_ = false;
};

}  // namespace bb
