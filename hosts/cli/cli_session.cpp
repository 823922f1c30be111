#include "cli_session.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "common/context.h"
#include "common/control_ids.h"
#include "app/process_values.h"
#include "common/steps.h"
#include "app/workbench.h"
#include "call_recording.h"
#include "camera_ids.h"
#include "camera_link.h"
#include "burn/image_files.h"
#include "burn/job_config.h"
#include "cli_controls.h"
#include "config/read_settings.h"
#include "config_location.h"
#include "config_report.h"
#include "device/status_codes.h"
#include "interrupt.h"
#include "native_process_info.h"
#include "native_profile.h"
#include "pin_command.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/std/system_clock.h"
#include "platform/std/thread_timer_service.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "progress_transport.h"
#include "recording_command.h"
#include "replay_command.h"
#include "run_loop.h"
#include "readback/brn_convert.h"
#include "readback/read_verify.h"
#include "terminal_console.h"
#include "terminal_prompts.h"
#include "udev_rule.h"
#include "udev_rule_template.h"
#include "util/paths.h"

#if defined(_WIN32)
#include <io.h>

#include "platform/win32/win_clock.h"
#include "platform/win32/win_timer_service.h"
#define BB_ISATTY _isatty
#define BB_FILENO _fileno
#else
#include <unistd.h>

#define BB_ISATTY isatty
#define BB_FILENO fileno
#endif

namespace bb::cli {

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUnusable = 2;
// As a shell reports a program that Ctrl-C ended.
constexpr int kExitInterrupted = 130;

#if defined(_WIN32)
using NativeClock = WinClock;
using NativeTimerService = WinTimerService;
#else
using NativeClock = SystemClock;
using NativeTimerService = ThreadTimerService;
#endif

class Session {
 public:
  Session(const Options& options, const std::string& executablePath, std::FILE* out,
          std::FILE* err, SessionDevices* devices)
      : options_(options),
        err_(err),
        console_(out, err),
        prompts_(err, options.yes, options.operands.empty() ? std::string() : options.operands[0]) {
    iniPath_ = ConfigFileFor(options, executablePath);
    context_.executableFolder = FolderOf(iniPath_);
    context_.configPath = iniPath_;
    context_.controllerCode = kVexa2860;
    NativeProcessInfo process;
    context_.productVersion = ReadProductVersion(process);
    context_.applicationName = "burnbench-cli";
    if (devices != nullptr) {
      clockIn_ = &devices->clock;
      timersIn_ = &devices->timers;
      link_ = &devices->camera;
      replaying_ = true;
    } else {
      MakeDevices();
    }
    if (!options.recordPath.empty()) {
      auto* virtualClock = options.virtualClock ? static_cast<VirtualClock*>(clockIn_) : nullptr;
      recording_ = std::make_unique<CallRecording>(*link_, RecordingClock(virtualClock, options.simulate));
      link_ = recording_.get();
    }
    link_->OnArrival([this](const DeviceArrival& arrival) {
      bench_->sequencer.OnDeviceChange(Sequencer::kDeviceArrival, arrival);
    });
    DeviceTransport* transport = &link_->Transport();
    if (BB_ISATTY(BB_FILENO(err))) {
      progress_ = std::make_unique<ProgressTransport>(*transport, err, std::uint16_t{256});
      transport = progress_.get();
    }
    platform_ = std::make_unique<Platform>(Platform{*transport, *clockIn_, *timersIn_, console_,
                                                    controls_, prompts_, steps_,
                                                    link_->Arrivals(), profile_});
    bench_ = std::make_unique<Workbench>(*platform_, context_);
  }

  int Run() {
    // A run refused before it could look for a camera leaves no recording:
    // replayed, it would look for one.
    const bool record = recording_ && cameraIds_.problem.empty();
    if (record && !recording_->Start(options_, context_, profile_, err_)) return kExitUnusable;
    const int status = RunCommand();
    // A run that ended while it waited for the camera lets go of the watch
    // here, where a recording still sees it.
    bench_->arrivals.StopWatchingArrival();
    if (record) recording_->Finish(status, err_);
    return status;
  }

 private:
  void MakeDevices() {
    clock_ = options_.virtualClock ? std::unique_ptr<Clock>(std::make_unique<VirtualClock>())
                                   : std::make_unique<NativeClock>();
    // Only the simulated camera lets its time pass on the virtual clock; a
    // stalled read of any other camera stalls for real, and its watchdog must
    // fire for real.
    if (options_.virtualClock && options_.simulate) {
      timers_ = std::make_unique<ManualTimerService>(static_cast<VirtualClock&>(*clock_));
    } else {
      timers_ = std::make_unique<NativeTimerService>();
    }
    if (!options_.simulate && DriverCamerasNeedIds()) {
      cameraIds_ = ChooseCameraIds(options_, profile_, iniPath_);
    }
    camera_ = options_.simulate ? MakeSimulatedCamera(options_.fault, options_.command == "legacy",
                                                      CameraTime())
                                : MakeDriverCamera(cameraIds_.ids, err_);
    clockIn_ = clock_.get();
    timersIn_ = timers_.get();
    link_ = camera_.get();
  }

  // Time the simulated camera takes of its own, as a stalled transfer does.
  std::function<void(std::uint32_t)> CameraTime() {
    if (!options_.virtualClock) {
      return [](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    }
    auto* clock = static_cast<VirtualClock*>(clock_.get());
    return [clock](std::uint32_t ms) { clock->Advance(ms); };
  }

  int RunCommand() {
    const std::string& command = options_.command;
    if (command == "convert") return Convert();
    if (command == "export") return Export();
    if (command == "compare") return Compare();
    if (command == "config") return Config();
    if (command == "udev-rule") return UdevRule();
    if (command == "pin") return Pin();
    if (!options_.simulate && !cameraIds_.problem.empty()) {
      std::fputs(cameraIds_.problem.c_str(), err_);
      return kExitUnusable;
    }
    if (options_.virtualClock && !options_.simulate && !replaying_) {
      std::fputs("burnbench-cli: --virtual-clock skips the pauses and waits that a real camera needs;\n"
                 "use it only with a simulated or emulated camera\n", err_);
    }
    if (command == "versions") return Versions();
    if (command == "burn") return Burn();
    if (command == "legacy") return Legacy();
    return Read();
  }

  // Runs the posted steps as the window's message loop would, until the run
  // ends. A camera that restarted comes back while the loop is idle; one that
  // does not is waited for until Ctrl-C, as the window waits for Esc.
  RunEnd Pump() {
    RunLoop loop(
        bench_->sequencer, steps_, bench_->arrivals, [this] { return link_->Idle(); },
        [this] {
          // A recording that did not bring the camera back never will.
          if (replaying_) return false;
          WaitForInterrupt(std::chrono::milliseconds(10));
          return true;
        },
        Interrupted);
    return loop.Pump();
  }

  // A command that runs in one piece cannot be stopped half-way at all.
  static RunEnd Unstoppable() {
    return Interrupted() ? RunEnd::kFinishedDespiteInterrupt : RunEnd::kFinished;
  }

  // The exit status of a run: its own outcome, unless Ctrl-C ended it first.
  int Ended(RunEnd end, bool succeeded) const {
    if (end == RunEnd::kInterrupted) {
      std::fputs("interrupted\n", err_);
      return kExitInterrupted;
    }
    if (end == RunEnd::kFinishedDespiteInterrupt) {
      std::fputs("interrupted, but the run could no longer be stopped and went to its end\n", err_);
    }
    return Outcome(succeeded);
  }

  bool LastLineIs(const char* expected) const {
    return !console_.Lines().empty() && console_.Lines().back() == expected;
  }

  int Outcome(bool succeeded) const {
    return succeeded && !prompts_.Stopped() ? kExitSuccess : kExitFailure;
  }

  bool LoadSettings() {
    if (ReadSettings(profile_, iniPath_, context_.settings) != 0) {
      std::fprintf(err_, "burnbench-cli: cannot read %s\n", iniPath_.c_str());
      return false;
    }
    return true;
  }

  int Versions() {
    bench_->commands.CheckVersions();
    const bool all = console_.Lines().size() == 3;
    return Ended(Unstoppable(), all);
  }

  int Burn() {
    if (!LoadSettings()) return kExitUnusable;
    controls_.SetChecked(kSilentModeCheck, true);
    controls_.SetChecked(kReadVerifyCheck, options_.verify);
    bench_->burn.StartBurn();
    if (steps_.Empty()) return kExitFailure;
    if (options_.paramOnly) bench_->window.job.WorkKind = kParamOnly;
    const RunEnd end = Pump();
    if (options_.paramOnly) return Ended(end, LastLineIs("Parameter download OK."));
    return Ended(end, LastLineIs(options_.verify ? "Read Verify Success !!!" : "ISP Write File OK !!!"));
  }

  // One press of the ISP button with a legacy controller: the radios as the
  // options say, the dialog choosing FIRMWARE.
  int Legacy() {
    if (!LoadSettings()) return kExitUnusable;
    const std::string& firmware = options_.operands[0];
    if (!FileExists(firmware)) {
      std::fprintf(err_, "burnbench-cli: cannot read %s\n", firmware.c_str());
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
    return Ended(Unstoppable(), console_.Lines() == std::vector<std::string>{"ISP Write File OK."});
  }

  int Read() {
    if (!LoadSettings()) return kExitUnusable;
    if (LoadJob(profile_, context_, console_, kVexa2860, &bench_->window.job) != 0) return kExitUnusable;
    std::error_code error;
    if (!std::filesystem::is_directory(FsPath(options_.operands[0]), error)) {
      std::fprintf(err_, "burnbench-cli: %s is not a folder\n", options_.operands[0].c_str());
      return kExitUnusable;
    }
    bench_->sequencer.StartReadBackFromButton();
    const RunEnd end = Pump();
    return Ended(end, LastLineIs("Read Resource Files Success !!!"));
  }

  int Convert() {
    const std::string& raw = options_.operands[0];
    if (!FileExists(raw)) {
      std::fprintf(err_, "burnbench-cli: cannot read %s\n", raw.c_str());
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
      std::fprintf(err_, "burnbench-cli: cannot use %s and %s\n", brn.c_str(), folder.c_str());
      return kExitUnusable;
    }
    return Outcome(bench_->resourceExport.ExportToFolder(brn, folder));
  }

  int Compare() {
    std::uint64_t offset = 0;
    const int result = CompareFiles(options_.operands[0], options_.operands[1], offset);
    if (result == kFileError) {
      std::fputs("burnbench-cli: cannot read both files\n", err_);
      return kExitUnusable;
    }
    console_.AddLogLine(result == kOk ? "Read Verify Success !!!" : "Verify Fail !!!");
    if (result == kFilesDiffer) std::fprintf(err_, "first difference at byte %llu\n", static_cast<unsigned long long>(offset));
    return result == kOk ? kExitSuccess : kExitFailure;
  }

  int UdevRule() {
    const CameraIds chosen = ChooseCameraIds(options_, profile_, iniPath_);
    if (!chosen.problem.empty()) {
      std::fputs(chosen.problem.c_str(), err_);
      return kExitUnusable;
    }
    std::fputs(UdevRuleFor(kUdevRuleTemplate, chosen.ids).c_str(), stdout);
    return kExitSuccess;
  }

  int Config() {
    if (!LoadSettings()) return kExitUnusable;
    BurnJob job;
    LoadJob(profile_, context_, console_, kVexa2860, &job);
    PrintConfig(context_.settings, job, stdout);
    return kExitSuccess;
  }

  int Pin() {
    if (!LoadSettings()) return kExitUnusable;
    BurnJob job;
    LoadJob(profile_, context_, console_, kVexa2860, &job);
    return PinJobImages(profile_, context_, job, stdout, err_);
  }

  const Options& options_;
  std::FILE* err_;
  std::string iniPath_;
  Context context_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<TimerService> timers_;
  CameraIds cameraIds_;
  std::unique_ptr<CameraLink> camera_;
  // What the run uses: the session's own, or a replay's.
  Clock* clockIn_ = nullptr;
  TimerService* timersIn_ = nullptr;
  CameraLink* link_ = nullptr;
  bool replaying_ = false;
  std::unique_ptr<CallRecording> recording_;
  std::unique_ptr<ProgressTransport> progress_;
  TerminalConsole console_;
  CliControls controls_;
  TerminalPrompts prompts_;
  FifoStepQueue steps_;
  NativeProfile profile_;
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<Workbench> bench_;
};

}  // namespace

int RunSession(const Options& options, const std::string& executablePath, std::FILE* out,
               std::FILE* err, SessionDevices* devices) {
  if (options.command == "replay") return RunReplay(options, executablePath, out, err);
  if (options.command == "recording") return PrintRecording(options, out, err);
  Session session(options, executablePath, out, err, devices);
  return session.Run();
}

}  // namespace bb::cli
