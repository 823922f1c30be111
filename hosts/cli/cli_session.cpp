#include "cli_session.h"

#include <memory>
#include <optional>

#include "call_recording.h"
#include "command_pace.h"
#include "native_profile.h"
#include "platform/shared_time_clock.h"
#include "platform/shared_time_timers.h"
#include "reporting_keeper.h"
#include "session_time.h"
#include "station/slot_progress.h"
#include "station/station_pace.h"
#include "terminal_console.h"
#include "terminal_progress.h"
#include "terminal_prompts.h"

namespace bb::cli {

namespace {

RunCommand CommandOf(const Options& options, bool verify) {
  if (options.command == "versions") return RunCommand::kVersions;
  if (options.command == "read") return RunCommand::kReadBack;
  if (options.command == "legacy") return RunCommand::kLegacy;
  if (options.paramOnly) return RunCommand::kParamOnly;
  return verify ? RunCommand::kBurnVerify : RunCommand::kBurn;
}

// The command line's order for the camera at `location`.
SessionOrder OrderOf(const Options& options, bool verify, const std::string& location) {
  SessionOrder order;
  order.command = CommandOf(options, verify);
  order.verify = verify;
  if (!options.operands.empty()) order.operand = options.operands[0];
  const std::string& chip = options.chip;
  order.legacy.controllerCode = chip == "611" ? kVexa611 : chip == "616" ? kVexa616 : kVexa618;
  order.legacy.mask = options.mode == "mask";
  order.legacy.normal = options.mode == "normal";
  order.legacy.nand = options.media == "nand";
  order.legacy.rom = options.media == "rom";
  order.location = location;
  order.waitSeconds = options.waitSeconds;
  return order;
}

SessionSetup CoreSetupOf(const ProcessSetup& setup) {
  SessionSetup core;
  core.values = setup.values;
  core.settingsRead = setup.settingsRead;
  core.images = setup.sharedImages;
  return core;
}

// What a session runs on, apart from the terminal it writes to.
struct Devices {
  CameraLink& camera;
  Clock& clock;
  TimerService& timers;
  RunPace& pace;
  TransferProgress* progress = nullptr;
  std::function<void(std::uint32_t step)> onStep;
  // Every call to the camera goes into it too (--record); null: none.
  CallRecording* recording = nullptr;
  // A replay keeps no record of its run.
  bool keepsRecords = true;
};

// The camera's session with the command line's terminal, answers and records.
SessionOutcome RunOn(const ProcessSetup& setup, const SessionSetup& core, const SessionOrder& order,
                     TerminalChannel channel, const Devices& devices) {
  const Options& options = setup.options;
  TerminalConsole console(channel);
  TerminalPrompts prompts(channel, options.yes, order.operand);
  if (order.command == RunCommand::kLegacy) prompts.SetOpenFile(order.operand);
  NativeProfile profile;
  ReportingKeeper keeper(setup.reportPath, setup.store, channel);
  const SessionPorts ports{devices.camera,
                           devices.clock,
                           devices.timers,
                           console,
                           prompts,
                           profile,
                           devices.pace,
                           [channel](const std::string& line) { channel.Note(line); },
                           devices.progress,
                           devices.onStep,
                           devices.keepsRecords ? &keeper : nullptr};
  CameraSession session(core, order, ports);
  CallRecording* recording = devices.recording;
  if (recording != nullptr && !recording->Start(options, Context(setup.values), profile, channel.terminal.Err())) {
    return SessionOutcome{kExitUnusable, {}, 0, {}};
  }
  SessionOutcome outcome = session.Run();
  if (recording != nullptr) recording->Finish(outcome.exitStatus, channel.terminal.Err());
  return outcome;
}

}  // namespace

SessionOutcome RunSession(const ProcessSetup& setup, CameraWorld& world, TerminalChannel channel,
                          const std::string& location) {
  const Options& options = setup.options;
  SessionTime time(options);
  const std::unique_ptr<CameraLink> camera =
      world.Connect(time.CameraTime(), [channel](const std::string& line) { channel.Note(line); });
  std::optional<CallRecording> recording;
  if (!options.recordPath.empty()) recording.emplace(*camera, RecordingClock(time.Virtual(), options.simulate));
  // Only a simulated camera comes back on the virtual clock.
  CommandPace pace(options.waitSeconds, options.simulate ? time.Virtual() : nullptr, true);
  std::optional<TerminalProgress> bar;
  if (channel.terminal.ErrIsTerminal()) bar.emplace(channel);
  const Devices devices{recording ? *recording : *camera, time.SessionClock(), time.Timers(), pace,
                        bar ? &*bar : nullptr, {}, recording ? &*recording : nullptr};
  return RunOn(setup, CoreSetupOf(setup), OrderOf(options, options.verify, location), channel, devices);
}

SessionOutcome RunSession(const ProcessSetup& setup, CameraWorld& world, TerminalChannel channel,
                          const std::string& location, StationRun& run) {
  const Options& options = setup.options;
  SharedTimeClock clock(run.time);
  SharedTimeTimers timers(run.time);
  SharedTime* time = &run.time;
  const std::unique_ptr<CameraLink> camera =
      world.Connect([time](std::uint32_t ms) { time->SleepUntil(time->NowMs() + ms); },
                    [channel](const std::string& line) { channel.Note(line); });
  StationPace pace(run.time, run.stop, options.waitSeconds, options.simulate);
  SlotProgress progress(run.watcher);
  SessionSetup core = CoreSetupOf(setup);
  core.images = run.images;
  core.place = RunPlace{run.stationName, run.operatorName, run.slot};
  const Devices devices{*camera, clock, timers, pace, &progress,
                        [&progress](std::uint32_t step) { progress.Stepped(step); }};
  return RunOn(setup, core, OrderOf(options, run.verify, location), channel, devices);
}

SessionOutcome RunSession(const ProcessSetup& setup, SessionDevices& devices, TerminalChannel channel) {
  const Options& options = setup.options;
  CommandPace pace(options.waitSeconds, &devices.clock, false);
  std::optional<TerminalProgress> bar;
  if (channel.terminal.ErrIsTerminal()) bar.emplace(channel);
  SessionSetup core = CoreSetupOf(setup);
  core.replayFolder = devices.verifyFolder;
  const Devices replay{devices.camera, devices.clock, devices.timers, pace, bar ? &*bar : nullptr, {}, nullptr, false};
  // A recorded run on a named camera searched for that camera only.
  return RunOn(setup, core, OrderOf(options, options.verify, options.device), channel, replay);
}

}  // namespace bb::cli
