#include "cli_session.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "app/run_outcome.h"
#include "app/run_report.h"
#include "app/workbench.h"
#include "call_recording.h"
#include "camera_wait.h"
#include "camera_ids.h"
#include "burn/image_files.h"
#include "burn/job_config.h"
#include "cli_controls.h"
#include "common/control_ids.h"
#include "common/steps.h"
#include "config_location.h"
#include "config_report.h"
#include "device/status_codes.h"
#include "interrupt.h"
#include "native_profile.h"
#include "pin_command.h"
#include "platform/append_file.h"
#include "platform/native_file.h"
#include "platform/shared_time_clock.h"
#include "platform/shared_time_timers.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/std/system_clock.h"
#include "platform/std/thread_timer_service.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "progress_transport.h"
#include "run_loop.h"
#include "readback/brn_convert.h"
#include "readback/read_verify.h"
#include "terminal_console.h"
#include "terminal_prompts.h"
#include "udev_rule.h"
#include "udev_rule_template.h"
#include "util/format.h"
#include "util/paths.h"

#if defined(_WIN32)
#include "platform/win32/win_clock.h"
#include "platform/win32/win_timer_service.h"
#endif

namespace bb::cli {

namespace {

#if defined(_WIN32)
using NativeClock = WinClock;
using NativeTimerService = WinTimerService;
#else
using NativeClock = SystemClock;
using NativeTimerService = ThreadTimerService;
#endif

// A location as part of a folder name: Windows location paths carry
// characters that do not belong in one.
std::string FolderNameOf(const std::string& location) {
  std::string name = location;
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.';
    if (!plain) c = '_';
  }
  return name;
}

RunCommand CommandOf(const Options& options, bool verify) {
  if (options.command == "versions") return RunCommand::kVersions;
  if (options.command == "read") return RunCommand::kReadBack;
  if (options.command == "legacy") return RunCommand::kLegacy;
  if (options.paramOnly) return RunCommand::kParamOnly;
  return verify ? RunCommand::kBurnVerify : RunCommand::kBurn;
}

// Where a station's run stands, by the step it takes next.
std::optional<SlotState> PhaseOf(std::uint32_t step) {
  switch (step) {
    case kStepStart:
      return SlotState::kBurning;
    case kStepWait:
      return SlotState::kWaitingForReturn;
    case kStepArrived:
      return SlotState::kWritingStorage;
    case kStepVerify:
      return SlotState::kVerifying;
    default:
      return std::nullopt;
  }
}

class Session {
 public:
  // A session on a camera of `world` (none when null), or, with `devices`, on
  // a replay's.
  Session(const ProcessSetup& setup, CameraWorld* world, SessionDevices* devices,
          TerminalChannel channel, const std::string& location, StationRun* station = nullptr)
      : setup_(setup),
        station_(station),
        options_(setup.options),
        channel_(channel),
        location_(location),
        context_(setup.values),
        console_(channel),
        prompts_(channel, options_.yes, options_.operands.empty() ? std::string() : options_.operands[0]) {
    context_.controllerCode = kVexa2860;
    if (devices != nullptr) {
      clockIn_ = &devices->clock;
      timersIn_ = &devices->timers;
      link_ = &devices->camera;
      replaying_ = true;
      replayVerifyFolder_ = devices->verifyFolder;
    } else {
      MakeDevices(world);
    }
    if (!options_.recordPath.empty()) {
      auto* virtualClock = options_.virtualClock ? static_cast<VirtualClock*>(clockIn_) : nullptr;
      recording_ = std::make_unique<CallRecording>(*link_, RecordingClock(virtualClock, options_.simulate));
      link_ = recording_.get();
    }
    link_->OnArrival([this](const DeviceArrival& arrival) {
      bench_->sequencer.OnDeviceChange(Sequencer::kDeviceArrival, arrival);
    });
    DeviceTransport* transport = &link_->Transport();
    if (station_ != nullptr) {
      progress_ = std::make_unique<ProgressTransport>(*transport, channel, std::uint16_t{256}, [this](int percent) {
        station_->watcher.Progress(phase_, percent);
      });
      transport = progress_.get();
    } else if (channel.terminal.ErrIsTerminal()) {
      progress_ = std::make_unique<ProgressTransport>(*transport, channel, std::uint16_t{256});
      transport = progress_.get();
    }
    platform_ = std::make_unique<Platform>(Platform{*transport, *clockIn_, *timersIn_, console_,
                                                    controls_, prompts_, steps_,
                                                    link_->Arrivals(), profile_});
    bench_ = std::make_unique<Workbench>(*platform_, context_);
    // A replay writes a recording's bytes into the replayer's folders.
    bench_->window.askBeforeReplacing = replaying_;
    bench_->window.sharedImages = station_ != nullptr ? station_->images : setup_.sharedImages;
    if (!location_.empty()) bench_->link.Binding().Pin(location_);
    bench_->runs.OnRunEnd([this](RunRecord& record) { record_ = record; });
  }

  SessionOutcome Run() {
    if (recording_ && !recording_->Start(options_, context_, profile_, channel_.terminal.Err())) {
      return SessionOutcome{kExitUnusable, {}, 0, {}};
    }
    SessionOutcome outcome = Perform();
    // A run that ended while it waited for the camera lets go of the watch
    // here, where a recording still sees it.
    bench_->arrivals.StopWatchingArrival();
    if (recording_) recording_->Finish(outcome.exitStatus, channel_.terminal.Err());
    return outcome;
  }

 private:
  void MakeDevices(CameraWorld* world) {
    if (station_ != nullptr) {
      clock_ = std::make_unique<SharedTimeClock>(station_->time);
      timers_ = std::make_unique<SharedTimeTimers>(station_->time);
    } else if (options_.virtualClock) {
      auto clock = std::make_unique<VirtualClock>();
      // Simulated time, but reports still say when the run took place.
      clock->SetUtcStart(SystemClock().UtcNowMs());
      // Only the simulated camera lets its time pass on the virtual clock; a
      // stalled read of any other camera stalls for real, and its watchdog
      // must fire for real.
      if (options_.simulate) {
        timers_ = std::make_unique<ManualTimerService>(*clock);
      } else {
        timers_ = std::make_unique<NativeTimerService>();
      }
      clock_ = std::move(clock);
    } else {
      clock_ = std::make_unique<NativeClock>();
      timers_ = std::make_unique<NativeTimerService>();
    }
    camera_ = world != nullptr ? world->Connect(CameraTime(), [this](const std::string& line) { channel_.Note(line); })
                               : MakeNoCamera();
    clockIn_ = clock_.get();
    timersIn_ = timers_.get();
    link_ = camera_.get();
  }

  // Time a simulated camera takes of its own, as a stalled transfer does.
  CameraWorld::CameraTime CameraTime() {
    if (station_ != nullptr) {
      SharedTime* time = &station_->time;
      return [time](std::uint32_t ms) { time->SleepUntil(time->NowMs() + ms); };
    }
    if (!options_.virtualClock) {
      return [](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    }
    auto* clock = static_cast<VirtualClock*>(clock_.get());
    return [clock](std::uint32_t ms) { clock->Advance(ms); };
  }

  SessionOutcome Perform() {
    const std::string& command = options_.command;
    SessionOutcome outcome;
    if (command == "convert") outcome.exitStatus = Convert();
    else if (command == "export") outcome.exitStatus = Export();
    else if (command == "compare") outcome.exitStatus = Compare();
    else if (command == "config") outcome.exitStatus = Config();
    else if (command == "udev-rule") outcome.exitStatus = UdevRule();
    else if (command == "pin") outcome.exitStatus = Pin();
    else return RunOnCamera();
    if (!console_.Lines().empty()) outcome.lastLine = console_.Lines().back();
    return outcome;
  }

  // A device command is one run: its record, judged as the command line
  // judges it, goes to the report.
  SessionOutcome RunOnCamera() {
    const std::string& command = options_.command;
    const RunCommand run = CommandOf(options_, Verify());
    int exitStatus = kExitFailure;
    {
      RunScope scope(bench_->runs, run);
      if (command == "versions") exitStatus = Versions();
      else if (command == "burn" || command == "station") exitStatus = Burn();
      else if (command == "legacy") exitStatus = Legacy();
      else exitStatus = Read();
    }
    if (progress_) progress_->Finish();
    SessionOutcome outcome;
    outcome.exitStatus = exitStatus;
    if (!record_) return outcome;
    JudgeRun(*record_, console_.Lines(), prompts_.Stopped());
    record_->exitStatus = exitStatus;
    record_->succeeded = exitStatus == kExitSuccess;
    outcome.lastLine = record_->lastLogLine;
    outcome.durationMs = record_->endUtcMs - record_->startUtcMs;
    outcome.runId = record_->runId;
    record_->log = console_.Lines();
    if (station_ != nullptr) {
      record_->station = station_->stationName;
      record_->operatorName = station_->operatorName;
      record_->slot = station_->slot;
    }
    // A command line that could not be used ran no camera, and a replay
    // runs none.
    if (exitStatus != kExitUnusable && !replaying_) {
      Report(*record_);
      Record(*record_);
    }
    return outcome;
  }

  // A record that the database cannot take waits for the next program, or
  // at least stands in the warning: the run is done all the same.
  void Record(const RunRecord& record) {
    if (setup_.store == nullptr) return;
    std::string warning;
    const Kept kept = setup_.store->Add(RowOf(record), warning);
    if (kept == Kept::kPending || kept == Kept::kOnlyInWarning) channel_.Note(warning);
  }

  // A report that cannot be written is only a warning: the run is done.
  void Report(const RunRecord& record) {
    if (setup_.reportPath.empty()) return;
    if (!AppendWhole(setup_.reportPath, RunReportLine(record))) {
      channel_.Note("burnbench-cli: cannot write the run report to " + setup_.reportPath);
    }
  }

  // Runs the posted steps as the window's message loop would, until the run
  // ends. A camera that restarted comes back while the loop is idle; one that
  // does not is waited for until Ctrl-C, as the window waits for Esc, or
  // until --wait runs out, which ends the wait as Esc does.
  RunEnd Pump() {
    // A station's simulated cameras come back on the station's time; any
    // other camera comes back, or never does, in real time, however fast the
    // station's simulated time runs meanwhile.
    CameraWait wait = station_ != nullptr && options_.simulate ? CameraWait(options_.waitSeconds, station_->time)
                                                               : CameraWait(options_.waitSeconds, VirtualTime());
    RunLoop loop(
        bench_->sequencer, steps_, bench_->arrivals, [this] { return link_->Idle(); },
        [this, &wait] {
          // A recording that did not bring the camera back never will.
          if (replaying_) return false;
          if (wait.RanOut()) {
            channel_.Note(Format("burnbench-cli: the camera did not come back within %u seconds; "
                                 "the wait ends as Esc ends it",
                                 options_.waitSeconds));
            waitRanOut_ = true;
            bench_->sequencer.FilterKey(Sequencer::kKeyDown, Sequencer::kKeyEscape);
            return true;
          }
          if (station_ != nullptr) {
            SharedTime& time = station_->time;
            time.WaitUntil(time.NowMs() + 1000, station_->stop);
            return true;
          }
          WaitForInterrupt(std::chrono::milliseconds(10));
          // A simulated camera on the virtual clock waits on virtual time.
          if (options_.virtualClock && options_.simulate) wait.PassASecond();
          return true;
        },
        [this] { return StopAsked(); });
    if (station_ != nullptr) {
      loop.OnStep([this](std::uint32_t step) {
        const std::optional<SlotState> phase = PhaseOf(step);
        if (!phase) return;
        phase_ = *phase;
        station_->watcher.Progress(phase_, -1);
      });
    }
    return loop.Pump();
  }

  // The run's clock when the camera's time is virtual too: the simulated
  // camera's and a replay's. Only they advance it; any other camera comes
  // back, or never does, in real time.
  VirtualClock* VirtualTime() const {
    const bool simulatedCamera = replaying_ || (options_.virtualClock && options_.simulate);
    return simulatedCamera ? static_cast<VirtualClock*>(clockIn_) : nullptr;
  }

  // Ctrl-C, or for a station's run the press that ends the runs under way.
  bool StopAsked() const { return station_ != nullptr ? station_->stop() : Interrupted(); }

  // A read verify: as the command line asks, or as the station does.
  bool Verify() const { return station_ != nullptr ? station_->verify : options_.verify; }

  // A command that runs in one piece cannot be stopped half-way at all.
  RunEnd Unstoppable() const {
    return StopAsked() ? RunEnd::kFinishedDespiteInterrupt : RunEnd::kFinished;
  }

  // The exit status of a run: its own outcome, unless Ctrl-C ended it first.
  int Ended(RunEnd end, RunCommand run) const {
    if (end == RunEnd::kInterrupted) {
      channel_.Note("interrupted");
      return kExitInterrupted;
    }
    if (end == RunEnd::kFinishedDespiteInterrupt) {
      channel_.Note("interrupted, but the run could no longer be stopped and went to its end");
    }
    const bool succeeded = RunSucceeded(run, console_.Lines()) && !prompts_.Stopped() && !waitRanOut_;
    return succeeded ? kExitSuccess : kExitFailure;
  }

  bool SettingsRead() const {
    if (setup_.settingsRead) return true;
    channel_.Note("burnbench-cli: cannot read " + setup_.iniPath);
    return false;
  }

  // A camera named by its location keeps what a verify reads in a folder of
  // its own beside the firmware file, so that cameras burned at once, by one
  // program or several, never share those files. False when a link or
  // something other than a folder has that name.
  bool SetVerifyFolder() {
    if (replaying_) {
      bench_->window.verifyFolder = replayVerifyFolder_;
      return true;
    }
    const std::string& firmware = bench_->window.job.FwFile;
    if (location_.empty() || firmware.empty()) return true;
    const std::string folder = FolderOf(firmware) + kPathSeparator + "verify-" + FolderNameOf(location_);
    if (!EnsurePlainFolder(folder)) {
      channel_.Note("burnbench-cli: cannot use " + folder +
                    " for the files of the read verify: it is a link or not a folder");
      return false;
    }
    bench_->window.verifyFolder = folder;
    return true;
  }

  int Versions() {
    bench_->commands.CheckVersions();
    return Ended(Unstoppable(), RunCommand::kVersions);
  }

  int Burn() {
    if (!SettingsRead()) return kExitUnusable;
    controls_.SetChecked(kSilentModeCheck, true);
    controls_.SetChecked(kReadVerifyCheck, Verify());
    bench_->burn.StartBurn();
    // A value that no run accepts is a file that cannot be used.
    if (steps_.Empty()) return IspTimeoutInRange(bench_->window.job) ? kExitFailure : kExitUnusable;
    if (options_.paramOnly) bench_->window.job.WorkKind = kParamOnly;
    if (Verify() && !SetVerifyFolder()) return kExitUnusable;
    const RunEnd end = Pump();
    return Ended(end, CommandOf(options_, Verify()));
  }
  // One press of the ISP button with a legacy controller: the radios as the
  // options say, the dialog choosing FIRMWARE.
  int Legacy() {
    if (!SettingsRead()) return kExitUnusable;
    const std::string& firmware = options_.operands[0];
    if (!FileExists(firmware)) {
      channel_.Note("burnbench-cli: cannot read " + firmware);
      return kExitUnusable;
    }
    const std::string& chip = options_.chip;
    context_.controllerCode = chip == "611" ? kVexa611 : chip == "616" ? kVexa616 : kVexa618;
    controls_.SetChecked(kMaskRadio, options_.mode == "mask");
    controls_.SetChecked(kNormalRadio, options_.mode == "normal");
    controls_.SetChecked(kNandRadio, options_.media == "nand");
    controls_.SetChecked(kRomRadio, options_.media == "rom");
    prompts_.SetOpenFile(firmware);
    bench_->legacy.LegacyDownload();
    return Ended(Unstoppable(), RunCommand::kLegacy);
  }

  int Read() {
    if (!SettingsRead()) return kExitUnusable;
    if (LoadJob(profile_, context_, console_, kVexa2860, &bench_->window.job) != 0 ||
        !CheckIspTimeout(bench_->window.job, console_)) {
      return kExitUnusable;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(FsPath(options_.operands[0]), error)) {
      channel_.Note("burnbench-cli: " + options_.operands[0] + " is not a folder");
      return kExitUnusable;
    }
    bench_->sequencer.StartReadBackFromButton();
    const RunEnd end = Pump();
    return Ended(end, RunCommand::kReadBack);
  }

  int Convert() {
    const std::string& raw = options_.operands[0];
    if (!FileExists(raw)) {
      channel_.Note("burnbench-cli: cannot read " + raw);
      return kExitUnusable;
    }
    BurnJob job;
    LoadJob(profile_, context_, console_, kVexa2860, &job);
    if (ConvertToBrn(raw, options_.operands[1], job.FwFileID, console_) != kOk) {
      console_.AddLogLine("Convert BRN File Fail !!!");
      return kExitFailure;
    }
    return kExitSuccess;
  }

  int Export() {
    const std::string& brn = options_.operands[0];
    const std::string& folder = options_.operands[1];
    std::error_code error;
    if (!FileExists(brn) || !std::filesystem::is_directory(FsPath(folder), error)) {
      channel_.Note("burnbench-cli: cannot use " + brn + " and " + folder);
      return kExitUnusable;
    }
    return bench_->resourceExport.ExportToFolder(brn, folder) && !prompts_.Stopped() ? kExitSuccess
                                                                                   : kExitFailure;
  }

  int Compare() {
    std::uint64_t offset = 0;
    const int result = CompareFiles(options_.operands[0], options_.operands[1], offset);
    if (result == kFileError) {
      channel_.Note("burnbench-cli: cannot read both files");
      return kExitUnusable;
    }
    console_.AddLogLine(result == kOk ? "Read Verify Success !!!" : "Verify Fail !!!");
    if (result == kFilesDiffer) channel_.Note("first difference at byte " + std::to_string(offset));
    return result == kOk ? kExitSuccess : kExitFailure;
  }

  int UdevRule() {
    const CameraIds chosen = ChooseCameraIds(options_, profile_, setup_.iniPath);
    if (!chosen.problem.empty()) {
      channel_.terminal.Print(chosen.problem);
      return kExitUnusable;
    }
    std::fputs(UdevRuleFor(kUdevRuleTemplate, chosen.ids).c_str(), channel_.terminal.Out());
    return kExitSuccess;
  }

  int Pin() {
    if (!SettingsRead()) return kExitUnusable;
    BurnJob job;
    if (LoadJob(profile_, context_, console_, kVexa2860, &job) != 0) return kExitUnusable;
    return PinJobImages(profile_, context_, job, channel_.terminal.Out(), channel_.terminal.Err());
  }

  int Config() {
    if (!SettingsRead()) return kExitUnusable;
    // Without --ini an installed program chooses among several files.
    channel_.Note("burnbench-cli: configuration file " + setup_.iniPath);
    BurnJob job;
    LoadJob(profile_, context_, console_, kVexa2860, &job);
    PrintConfig(context_.settings, job, stdout);
    return kExitSuccess;
  }

  const ProcessSetup& setup_;
  StationRun* station_;
  // Where a station's run stands, for its progress.
  SlotState phase_ = SlotState::kBurning;
  const Options& options_;
  TerminalChannel channel_;
  std::string location_;
  Context context_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<TimerService> timers_;
  std::unique_ptr<CameraLink> camera_;
  // What the run uses: the session's own, or a replay's.
  Clock* clockIn_ = nullptr;
  TimerService* timersIn_ = nullptr;
  CameraLink* link_ = nullptr;
  bool replaying_ = false;
  std::string replayVerifyFolder_;
  bool waitRanOut_ = false;
  std::unique_ptr<CallRecording> recording_;
  std::unique_ptr<ProgressTransport> progress_;
  TerminalConsole console_;
  CliControls controls_;
  TerminalPrompts prompts_;
  FifoStepQueue steps_;
  NativeProfile profile_;
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<Workbench> bench_;
  std::optional<RunRecord> record_;
};

}  // namespace

SessionOutcome RunSession(const ProcessSetup& setup, CameraWorld* world, TerminalChannel channel,
                          const std::string& location) {
  Session session(setup, world, nullptr, channel, location);
  return session.Run();
}

SessionOutcome RunSession(const ProcessSetup& setup, CameraWorld& world, TerminalChannel channel,
                          const std::string& location, StationRun& run) {
  Session session(setup, &world, nullptr, channel, location, &run);
  return session.Run();
}

SessionOutcome RunSession(const ProcessSetup& setup, SessionDevices& devices,
                          TerminalChannel channel) {
  // A recorded run on a named camera searched for that camera only.
  Session session(setup, nullptr, &devices, channel, setup.options.device);
  return session.Run();
}

}  // namespace bb::cli
