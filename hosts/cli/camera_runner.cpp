#include "camera_runner.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "app/process_values.h"
#include "app/run_report.h"
#include "camera_ids.h"
#include "camera_worlds.h"
#include "cli_session.h"
#include "config/read_settings.h"
#include "config_location.h"
#include "device/camera_survey.h"
#include "device/command_table.h"
#include "device/device_link.h"
#include "device/status_codes.h"
#include "every_camera.h"
#include "line_commands.h"
#include "native_process_info.h"
#include "native_profile.h"
#include "offline_command.h"
#include "platform/record/call_text.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "records.h"
#include "recording_command.h"
#include "replay_command.h"
#include "station_command.h"
#include "terminal.h"
#include "terminal_prompts.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb::cli {

ProcessSetup MakeSetup(const Options& options, const std::string& executablePath) {
  ProcessSetup setup{options, {}, {}, false, {}, {}};
  setup.iniPath = ConfigFileFor(options, executablePath);
  setup.values.executableFolder = FolderOf(setup.iniPath);
  setup.values.configPath = setup.iniPath;
  setup.values.applicationName = "burnbench-cli";
  NativeProcessInfo process;
  setup.values.productVersion = ReadProductVersion(process);
  NativeProfile profile;
  setup.settingsRead = ReadSettings(profile, setup.iniPath, setup.values.settings) == 0;
  if (!options.reportPath.empty()) {
    setup.reportPath = options.reportPath;
  } else if (setup.settingsRead && !setup.values.settings.reportFile.empty()) {
    setup.reportPath = ReportPath(setup.values.settings.reportFile, setup.values.executableFolder);
  }
  return setup;
}

namespace {

std::string LocationList(const std::vector<AttachedCamera>& cameras) {
  std::string list;
  for (const AttachedCamera& camera : cameras) {
    list += (list.empty() ? "" : ", ") + (camera.location.empty() ? std::string("?") : camera.location);
  }
  return list;
}

// The stage the camera reports, as the burn asks for it; "?" when it does not
// answer or cannot be told from the others.
std::string StageOf(CameraLink& link, const AttachedCamera& camera, bool alone, TerminalChannel channel) {
  if (camera.location.empty() && !alone) return "?";
  VirtualClock clock;
  ManualTimerService timers(clock);
  TerminalPrompts prompts(channel, false);
  DeviceLink device(link.Transport(), clock, timers, prompts);
  if (!camera.location.empty()) device.Binding().Pin(camera.location);
  std::array<std::uint8_t, 5> reply{};
  constexpr Command query = CommandTable::StageQuery;
  if (device.VendorIn(query.bRequest, query.wValue, query.wIndex, query.wLength, reply) != kOk) {
    return "?";
  }
  return std::to_string(reply[0]);
}

// A camera another program holds is asked nothing: its stage shows as "in
// use". A serial number is the device's text, shown with its control
// characters escaped.
int ListDevices(CameraLink& link, const std::vector<AttachedCamera>& cameras, Terminal& terminal) {
  const TerminalChannel channel{terminal, terminal.AddChannel("")};
  if (cameras.empty()) channel.Note("burnbench-cli: no camera attached");
  for (const AttachedCamera& camera : cameras) {
    std::string stage = StageOf(link, camera, cameras.size() == 1, channel);
    if (link.HeldElsewhere(camera.path)) stage = "in use";
    channel.Log((camera.location.empty() ? std::string("-") : camera.location) + "\t" + camera.path + "\t" +
                stage + "\t" + (camera.serial.empty() ? std::string("-") : record::Printable(camera.serial)));
  }
  return kExitSuccess;
}

}  // namespace

int RunCommandLine(const Options& options, const std::string& executablePath, std::FILE* out,
                   std::FILE* err, CameraWorld* given) {
  if (options.command == "replay") return RunReplay(options, executablePath, out, err);
  if (options.command == "recording") return PrintRecording(options, out, err);
  ProcessSetup setup = MakeSetup(options, executablePath);
  const std::string database = DatabasePathFor(options, setup.values.settings, setup.values.executableFolder);
  if (options.command == "history") {
    return options.lineAsked ? RunLineHistory(setup, out, err) : RunHistory(options, database, out, err);
  }
  if (options.command == "forward") return RunForward(setup, database, out, err);
  if (options.command == "line-setup") return RunLineSetup(setup, out, err);
  const bool station = options.command == "station";
  Terminal terminal(out, err, options.all || station);
  // Every run with a camera is recorded; listing the cameras is no run.
  Records records;
  if (IsDeviceCommand(options.command) && options.command != "devices" && !database.empty()) {
    records = OpenRecords(database);
    setup.store = records.store.get();
    for (const std::string& note : records.notes) terminal.Print(note + "\n");
  }
  if (!IsDeviceCommand(options.command)) {
    return RunOfflineCommand(setup, TerminalChannel{terminal, terminal.AddChannel("")});
  }
  // A simulated line brings its cameras along.
  if (station && options.lineCameras != 0) return RunStation(setup, nullptr, terminal);

  std::string error;
  std::unique_ptr<CameraWorld> made;
  if (given == nullptr && options.simulate) {
    made = MakeSimulatedWorld(options.simulatedCameras, options.faults, options.serials,
                               options.command == "legacy",
                               [&terminal](const std::string& line) { terminal.Print(line + "\n"); }, error);
  } else if (given == nullptr) {
    CameraIds chosen;
    if (DriverCamerasNeedIds()) {
      NativeProfile profile;
      chosen = ChooseCameraIds(options, profile, setup.iniPath);
      if (!chosen.problem.empty()) {
        terminal.Print(chosen.problem);
        return kExitUnusable;
      }
    }
    if (options.virtualClock) {
      terminal.Print("burnbench-cli: --virtual-clock skips the pauses and waits that a real camera needs;\n"
                     "use it only with a simulated or emulated camera\n");
    }
    made = MakeDriverWorld(chosen.ids);
  }
  CameraWorld* world = given != nullptr ? given : made.get();
  if (world == nullptr) {
    terminal.Print("burnbench-cli: " + error + "\n");
    return kExitUnusable;
  }
  if (station) return RunStation(setup, world, terminal);

  std::vector<AttachedCamera> cameras;
  {
    std::unique_ptr<CameraLink> link =
        world->Connect({}, [&terminal](const std::string& line) { terminal.Print(line + "\n"); });
    cameras = ListCameras(link->Transport());
    if (options.command == "devices") {
      const auto named = std::remove_if(cameras.begin(), cameras.end(), [&](const AttachedCamera& camera) {
        return !options.device.empty() && camera.location != options.device;
      });
      cameras.erase(named, cameras.end());
      return ListDevices(*link, cameras, terminal);
    }
  }

  if (!options.device.empty()) {
    const bool attached = std::any_of(cameras.begin(), cameras.end(), [&](const AttachedCamera& camera) {
      return camera.location == options.device;
    });
    if (!attached) {
      terminal.Print("burnbench-cli: no camera at " + options.device + "; attached: " +
                     (cameras.empty() ? std::string("none") : LocationList(cameras)) + "\n");
      return kExitUnusable;
    }
  }
  if (options.all) return RunEveryCamera(setup, *world, cameras, terminal);
  if (options.device.empty() && cameras.size() > 1) {
    const bool many = options.command == "burn" || options.command == "versions";
    terminal.Print(Format("burnbench-cli: %zu cameras are attached, at %s; choose one with --device "
                          "LOCATION%s\n",
                          cameras.size(), LocationList(cameras).c_str(), many ? ", or all with --all" : ""));
    return kExitUnusable;
  }
  return RunSession(setup, *world, TerminalChannel{terminal, terminal.AddChannel("")}, options.device).exitStatus;
}

}  // namespace bb::cli
