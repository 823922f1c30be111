#include "app/camera_session.h"

#include <filesystem>
#include <system_error>

#include "app/run_outcome.h"
#include "app/verify_folder.h"
#include "burn/image_files.h"
#include "burn/job_config.h"
#include "common/control_ids.h"
#include "platform/native_file.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

CameraSession::CameraSession(const SessionSetup& setup, const SessionOrder& order, const SessionPorts& ports)
    : setup_(setup), order_(order), ports_(ports), context_(setup.values), log_(ports.console), boxes_(ports.prompts) {
  context_.controllerCode = kVexa2860;
  ports_.camera.OnArrival([this](const DeviceArrival& arrival) {
    bench_->sequencer.OnDeviceChange(Sequencer::kDeviceArrival, arrival);
  });
  DeviceTransport* transport = &ports_.camera.Transport();
  if (ports_.progress != nullptr) {
    progress_ = std::make_unique<ProgressTransport>(*transport, *ports_.progress, std::uint16_t{256});
    transport = progress_.get();
  }
  platform_ = std::make_unique<Platform>(Platform{*transport, ports_.clock, ports_.timers, log_, controls_, boxes_,
                                                  steps_, ports_.camera.Arrivals(), ports_.profile});
  bench_ = std::make_unique<Workbench>(*platform_, context_);
  bench_->window.askBeforeReplacing = setup_.replayFolder.has_value();
  bench_->window.sharedImages = setup_.images;
  if (!order_.location.empty()) bench_->link.Binding().Pin(order_.location);
  bench_->runs.OnRunEnd([this](RunRecord& record) { record_ = record; });
}

SessionOutcome CameraSession::Run() {
  SessionOutcome outcome = RunOnCamera();
  // A run that ended while it waited for the camera lets go of the watch
  // here, where a recording still sees it.
  bench_->arrivals.StopWatchingArrival();
  return outcome;
}

// The run's record, judged as a command line judges it, goes to the keeper.
SessionOutcome CameraSession::RunOnCamera() {
  int exitStatus = kExitFailure;
  {
    RunScope scope(bench_->runs, order_.command);
    switch (order_.command) {
      case RunCommand::kVersions: exitStatus = Versions(); break;
      case RunCommand::kLegacy: exitStatus = Legacy(); break;
      case RunCommand::kReadBack: exitStatus = Read(); break;
      default: exitStatus = Burn(); break;
    }
  }
  if (progress_) progress_->Finish();
  SessionOutcome outcome;
  outcome.exitStatus = exitStatus;
  if (!record_) return outcome;
  JudgeRun(*record_, log_.Lines(), boxes_.Stopped());
  record_->exitStatus = exitStatus;
  record_->succeeded = exitStatus == kExitSuccess;
  outcome.lastLine = record_->lastLogLine;
  outcome.durationMs = record_->endUtcMs - record_->startUtcMs;
  outcome.runId = record_->runId;
  record_->log = log_.Lines();
  if (setup_.place) {
    record_->station = setup_.place->station;
    record_->operatorName = setup_.place->operatorName;
    record_->slot = setup_.place->slot;
  }
  // A command line that could not be used ran no camera.
  if (exitStatus != kExitUnusable && ports_.keeper != nullptr) ports_.keeper->Keep(*record_);
  return outcome;
}

int CameraSession::Versions() {
  bench_->commands.CheckVersions();
  return Ended(Unstoppable(), RunCommand::kVersions);
}

int CameraSession::Burn() {
  if (!SettingsRead()) return kExitUnusable;
  controls_.SetChecked(kSilentModeCheck, true);
  controls_.SetChecked(kReadVerifyCheck, order_.verify);
  bench_->burn.StartBurn();
  // A value that no run accepts is a file that cannot be used.
  if (steps_.Empty()) return IspTimeoutInRange(bench_->window.job) ? kExitFailure : kExitUnusable;
  if (order_.command == RunCommand::kParamOnly) bench_->window.job.WorkKind = kParamOnly;
  if (order_.verify && !SetVerifyFolder()) return kExitUnusable;
  return Ended(Pump(), order_.command);
}

// One press of the ISP button with a legacy controller: the radios as the
// order says, the dialog choosing its firmware.
int CameraSession::Legacy() {
  if (!SettingsRead()) return kExitUnusable;
  if (!FileExists(order_.operand)) {
    Say("cannot read " + order_.operand);
    return kExitUnusable;
  }
  const LegacyChoice& legacy = order_.legacy;
  context_.controllerCode = legacy.controllerCode;
  controls_.SetChecked(kMaskRadio, legacy.mask);
  controls_.SetChecked(kNormalRadio, legacy.normal);
  controls_.SetChecked(kNandRadio, legacy.nand);
  controls_.SetChecked(kRomRadio, legacy.rom);
  bench_->legacy.LegacyDownload();
  return Ended(Unstoppable(), RunCommand::kLegacy);
}

int CameraSession::Read() {
  if (!SettingsRead()) return kExitUnusable;
  if (LoadJob(ports_.profile, context_, log_, kVexa2860, &bench_->window.job) != 0 ||
      !CheckIspTimeout(bench_->window.job, log_)) {
    return kExitUnusable;
  }
  std::error_code error;
  if (!std::filesystem::is_directory(FsPath(order_.operand), error)) {
    Say(order_.operand + " is not a folder");
    return kExitUnusable;
  }
  bench_->sequencer.StartReadBackFromButton();
  return Ended(Pump(), RunCommand::kReadBack);
}

// Runs the posted steps as the window's message loop would, until the run
// ends. A camera that restarted comes back while the loop is idle; one that
// does not is waited for as the pace has it, and a wait that runs out ends as
// Esc ends the window's.
RunEnd CameraSession::Pump() {
  RunPace& pace = ports_.pace;
  RunLoop loop(
      bench_->sequencer, steps_, bench_->arrivals, [this] { return ports_.camera.Idle(); },
      [this, &pace] {
        if (!pace.MayWait()) return false;
        if (pace.WaitRanOut()) {
          Say(Format("the camera did not come back within %u seconds; the wait ends as Esc ends it",
                     order_.waitSeconds));
          waitRanOut_ = true;
          bench_->sequencer.FilterKey(Sequencer::kKeyDown, Sequencer::kKeyEscape);
          return true;
        }
        pace.WaitAWhile();
        return true;
      },
      [&pace] { return pace.StopAsked(); });
  if (ports_.onStep) loop.OnStep(ports_.onStep);
  return loop.Pump();
}

RunEnd CameraSession::Unstoppable() {
  return ports_.pace.StopAsked() ? RunEnd::kFinishedDespiteInterrupt : RunEnd::kFinished;
}

// The exit status of a run: its own outcome, unless it was stopped first.
int CameraSession::Ended(RunEnd end, RunCommand run) {
  if (end == RunEnd::kInterrupted) {
    ports_.note("interrupted");
    return kExitInterrupted;
  }
  if (end == RunEnd::kFinishedDespiteInterrupt) {
    ports_.note("interrupted, but the run could no longer be stopped and went to its end");
  }
  const bool succeeded = RunSucceeded(run, log_.Lines()) && !boxes_.Stopped() && !waitRanOut_;
  return succeeded ? kExitSuccess : kExitFailure;
}

bool CameraSession::SettingsRead() {
  if (setup_.settingsRead) return true;
  Say("cannot read " + context_.configPath);
  return false;
}

// False when a link or something other than a folder has the verify
// folder's name.
bool CameraSession::SetVerifyFolder() {
  if (setup_.replayFolder) {
    bench_->window.verifyFolder = *setup_.replayFolder;
    return true;
  }
  const std::string folder = VerifyFolderFor(bench_->window.job.FwFile, order_.location);
  if (folder.empty()) return true;
  if (!EnsurePlainFolder(folder)) {
    Say("cannot use " + folder + " for the files of the read verify: it is a link or not a folder");
    return false;
  }
  bench_->window.verifyFolder = folder;
  return true;
}

void CameraSession::Say(const std::string& text) { ports_.note(context_.applicationName + ": " + text); }

}  // namespace bb
