#include "replay_command.h"

#include <cstdlib>
#include <optional>
#include <vector>

#include "app/sequencer.h"
#include "burn/image_files.h"
#include "camera_runner.h"
#include "cli_session.h"
#include "config_location.h"
#include "job_images.h"
#include "native_profile.h"
#include "platform/camera_link.h"
#include "platform/record/call_text.h"
#include "platform/record/recording_format.h"
#include "platform/record/replay.h"
#include "platform/virtual/manual_timer_service.h"
#include "record_options.h"
#include "scratch_folder.h"
#include "util/paths.h"

namespace bb::cli {

namespace {

// The camera of a replay. Device changes other than arrivals reach a window's
// sequencer, which does nothing with them; this program is told of arrivals
// only.
class ReplayLink final : public CameraLink {
 public:
  explicit ReplayLink(record::Replay& replay) : replay_(replay) {}
  DeviceTransport& Transport() override { return replay_; }
  ArrivalWatch& Arrivals() override { return replay_; }
  void OnArrival(ArrivalHandler handler) override {
    replay_.OnDeviceChange([handler = std::move(handler)](std::uint32_t event, const DeviceArrival& arrival) {
      if (event == Sequencer::kDeviceArrival) handler(arrival);
    });
  }
  bool Idle() override { return replay_.DeliverDeviceChange(); }

 private:
  record::Replay& replay_;
};

// The operand of a read (its folder) or of a legacy download (its firmware).
bool TakesOperand(const std::string& command) { return command == "read" || command == "legacy"; }

// A recorded command line as the replay runs it: with the replay's --ini and
// --yes, and the replay's operand in place of the recorded one (or where the
// window left it out). A recording never chooses where this machine writes:
// a read needs the replayer's folder, and a recorded --yes answers nothing.
// A recorded --ini that names no file here gives way to the default one.
std::optional<Options> ReplayedCommand(std::vector<std::string> arguments, const Options& replay,
                                       bool& operandUsed, std::string& error) {
  std::string parseError;
  std::optional<Options> options = ParseOptions(arguments, parseError);
  const bool withOperand = replay.operands.size() == 2;
  if (!options && withOperand) {
    arguments.push_back(replay.operands[1]);
    options = ParseOptions(arguments, parseError);
    operandUsed = operandUsed || options.has_value();
  } else if (options && withOperand && TakesOperand(options->command)) {
    options->operands.back() = replay.operands[1];
    operandUsed = true;
  }
  if (!options) {
    error = withOperand ? "its command line cannot be used: " + parseError
                        : "its command line cannot be used (" + parseError +
                              "); a recording made in the window needs the folder of a read or "
                              "the firmware of a legacy download after FILE";
    return std::nullopt;
  }
  if (!TalksToCamera(options->command) || !options->recordPath.empty()) {
    error = "it holds a command that does not talk to a camera";
    return std::nullopt;
  }
  if (options->command == "read" && !withOperand) {
    error = "it reads a camera back into a folder; name the folder to read into after FILE";
    return std::nullopt;
  }
  if (!replay.iniPath.empty()) {
    options->iniPath = replay.iniPath;
  } else if (!FileExists(options->iniPath)) {
    options->iniPath.clear();
  }
  options->yes = replay.yes;
  return options;
}

// Image files that differ from the recorded ones make the replay part from
// the recording at the first transfer of them; saying so first saves a hunt.
void ReportChangedImages(const std::vector<record::ImageFile>& recorded, const Options& command,
                         const std::string& executablePath, std::FILE* err) {
  NativeProfile profile;
  Context context;
  context.configPath = ConfigFileFor(command, executablePath);
  context.executableFolder = FolderOf(context.configPath);
  for (const record::ImageFile& now : JobImages(command, profile, context)) {
    for (const record::ImageFile& then : recorded) {
      if (then.role != now.role || (then.present == now.present && then.digest == now.digest)) continue;
      std::fprintf(err, "burnbench-cli: %s %s is not the recorded file (%s%s, recorded %s%s)\n",
                   now.role.c_str(), now.path.c_str(), now.present ? "sha256 " : "unreadable",
                   now.present ? ToHex(now.digest).c_str() : "", record::Printable(then.path).c_str(),
                   then.present ? (", sha256 " + ToHex(then.digest)).c_str() : ", unreadable");
    }
  }
}

}  // namespace

int RunReplay(const Options& options, const std::string& executablePath, std::FILE* out,
              std::FILE* err) {
  const std::string& file = options.operands[0];
  std::string error;
  const std::optional<record::Recording> recording = record::ReadRecordingFile(file, error);
  std::vector<Options> commands;
  bool operandUsed = options.operands.size() < 2;
  if (recording) {
    for (const std::vector<std::string>& recorded : recording->header.commands) {
      std::optional<Options> command = ReplayedCommand(recorded, options, operandUsed, error);
      if (!command) break;
      commands.push_back(*command);
    }
    if (commands.size() == recording->header.commands.size() && !operandUsed) {
      error = "its command takes no folder or firmware";
    }
  }
  if (!recording || commands.size() != recording->header.commands.size() || !operandUsed) {
    std::fprintf(err, "burnbench-cli: cannot replay %s: %s\n", file.c_str(), record::Printable(error).c_str());
    return kExitUnusable;
  }
  std::string configuration;
  for (const Options& command : commands) {
    const std::string path = ConfigFileFor(command, executablePath);
    if (path != configuration) std::fprintf(err, "the replay uses the configuration file %s\n", path.c_str());
    configuration = path;
    ReportChangedImages(recording->header.images, command, executablePath, err);
  }
  // What a replayed read verify reads back goes nowhere the replayer did not name.
  std::optional<ScratchFolder> scratch = ScratchFolder::Make();
  if (!scratch) {
    std::fprintf(err, "burnbench-cli: cannot replay %s: no temporary folder can be made\n", file.c_str());
    return kExitUnusable;
  }

  VirtualClock clock;
  ManualTimerService timers(clock);
  record::Replay replay(*recording, clock);
  // The run has left the recording: what it would do next answers nothing,
  // so it ends here, with what it printed so far.
  replay.OnDivergence([out, err](const std::string& message) {
    std::fflush(out);
    std::fprintf(err, "burnbench-cli: %s\n", message.c_str());
    std::fflush(err);
    std::exit(kExitFailure);
  });
  ReplayLink link(replay);
  SessionDevices devices{link, clock, timers, scratch->Path()};
  int status = kExitFailure;
  for (const Options& command : commands) {
    const ProcessSetup setup = MakeSetup(command, executablePath);
    Terminal terminal(out, err, false);
    status = RunSession(setup, devices, TerminalChannel{terminal, terminal.AddChannel("")}).exitStatus;
  }
  replay.Finish();
  if (recording->exitStatus && *recording->exitStatus != status) {
    std::fprintf(err, "burnbench-cli: the recorded run ended with exit status %d\n", *recording->exitStatus);
  }
  return status;
}

}  // namespace bb::cli
