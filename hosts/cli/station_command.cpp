#include "station_command.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "host_name.h"
#include "interrupt.h"
#include "line_commands.h"
#include "line_operator.h"
#include "native_profile.h"
#include "platform/std/scaled_time.h"
#include "platform/std/system_clock.h"
#include "platform/virtual/event_time.h"
#include "station/line_forwarder.h"
#include "station/station.h"
#include "station/station_images.h"
#include "station/station_settings.h"
#include "station_board.h"
#include "station_launcher.h"
#include "station_passes.h"
#include "station_server.h"
#include "station_stream.h"
#include "station_survey.h"
#include "util/connection_text.h"

namespace bb::cli {

namespace {

// The station's one time: simulated on --virtual-clock, else real, sped up by
// --time-scale.
std::unique_ptr<SharedTime> MakeTime(const Options& options) {
  if (options.virtualClock) return std::make_unique<EventTime>(SystemClock().UtcNowMs());
  return std::make_unique<ScaledTime>(options.timeScale == 0 ? 1.0 : static_cast<double>(options.timeScale));
}

// Locations "1" to "N" of a simulated line's ports.
std::vector<std::string> PortLocations(unsigned count) {
  std::vector<std::string> locations;
  for (unsigned port = 1; port <= count; ++port) locations.push_back(std::to_string(port));
  return locations;
}

// The token of --token: the file's text without the line break that ends it.
bool ReadToken(const std::string& path, std::string& token, std::string& error) {
  constexpr std::size_t kMostBytes = 1024;
  std::ifstream in(path, std::ios::binary);
  if (in) token.assign(std::istreambuf_iterator<char>(in), {});
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
  if (!in || token.empty() || token.size() > kMostBytes) {
    error = "--token needs a file that holds the token (at most 1024 bytes): " + path;
    return false;
  }
  return true;
}

bool Located(CameraSurvey& survey) {
  const std::vector<SeenCamera> cameras = survey.Look();
  return std::all_of(cameras.begin(), cameras.end(), [](const SeenCamera& camera) { return !camera.location.empty(); });
}

}  // namespace

int RunStation(const ProcessSetup& setup, CameraWorld* given, Terminal& terminal) {
  const Options& options = setup.options;
  if (!setup.settingsRead) {
    terminal.Print("burnbench-cli: cannot read " + setup.iniPath + "\n");
    return kExitUnusable;
  }
  NativeProfile profile;
  StationSettings settings;
  std::string error;
  if (!ReadStationSettings(profile, setup.iniPath, HostName(), settings, error)) {
    terminal.Print("burnbench-cli: " + error + "\n");
    return kExitUnusable;
  }
  StationImages images(profile, Context(setup.values), options.allowUnpinned);
  const std::string notReady = images.Refresh();
  if (images.PinMissing()) {
    terminal.Print("burnbench-cli: " + notReady + "; pin them with the pin command, or give --allow-unpinned\n");
    return kExitUnusable;
  }

  LineSettings lineSettings;
  if (!ReadLineSettings(options, profile, setup.iniPath, lineSettings, error)) {
    terminal.Print("burnbench-cli: " + error + "\n");
    return kExitUnusable;
  }
  std::unique_ptr<LineStore> lineStore;
  if (!lineSettings.database.empty()) {
    lineStore = OpenLine(lineSettings, error);
    if (!lineStore) {
      terminal.Print("burnbench-cli: " + error + "\n");
      return kExitUnusable;
    }
    if (setup.store == nullptr) {
      terminal.Print("burnbench-cli: --db none keeps no runs, so there are none to send to the line\n");
      return kExitUnusable;
    }
  }

  // The station's own lines on standard error go above its board.
  const int plain = terminal.AddChannel("");
  const auto note = [&terminal, plain](const std::string& said) { terminal.Note(plain, said); };
  std::unique_ptr<SimulatedLine> line;
  if (given == nullptr) line = MakeSimulatedLine(options.simulatedCameras, note);
  CameraWorld& world = given != nullptr ? *given : line->World();
  StationSurvey survey(world, note);
  if (!Located(survey)) {
    terminal.Print("burnbench-cli: the driver does not tell where the cameras are plugged in; "
                   "a station cannot tell its slots apart\n");
    return kExitUnusable;
  }

  std::unique_ptr<SharedTime> time = MakeTime(options);
  StationFeed feed;
  StationBoard board(
      [&terminal](const std::vector<std::string>& lines) {
        if (terminal.Board()) terminal.ShowBoard(lines);
      },
      [&terminal, plain](const std::string& ended) {
        terminal.Log(plain, std::string_view(ended).substr(0, ended.find_last_not_of('\n') + 1));
      });
  feed.Subscribe(board);

  // The page is a view of the same feed, served before the first camera is
  // taken; an address it cannot have ends the station here.
  std::unique_ptr<StationStream> stream;
  std::unique_ptr<StationServer> server;
  if (options.serve) {
    ServeSetup serve{*options.serve, {}, options.tlsCert, options.tlsKey, setup.store};
    std::string why;
    if (!options.tokenPath.empty() && !ReadToken(options.tokenPath, serve.token, why)) {
      terminal.Print("burnbench-cli: " + why + "\n");
      return kExitUnusable;
    }
    stream = std::make_unique<StationStream>(StationStream::Limits{});
    feed.Subscribe(*stream);
    server = std::make_unique<StationServer>(std::move(serve), *stream, note);
    if (!server->Start(why)) {
      feed.Unsubscribe(*stream);
      terminal.Print("burnbench-cli: " + why + "\n");
      return kExitUnusable;
    }
    note("the station's page is served at " + server->Url());
  }

  // The runs go to the line from the local database, on a thread of their own.
  SystemClock wallClock;
  std::unique_ptr<LineForwarder> forwarder;
  if (lineStore) {
    forwarder = std::make_unique<LineForwarder>(
        LineForwarder::Ports{*setup.store, *lineStore, wallClock, [&feed](const LineView& view) { feed.SetLine(view); },
                             note},
        settings.name, MaskConnectionSecrets(lineSettings.database), lineSettings.pace);
    feed.Subscribe(*forwarder);
    forwarder->Start();
  }
  const bool verify = options.verify || settings.verify;
  StationLauncher launcher(setup, world, terminal, *time, images, verify, [] { return InterruptPresses() >= 2; },
                           {settings.name, options.operatorName});
  StationSetup stationSetup;
  stationSetup.name = settings.name;
  stationSetup.operatorName = options.operatorName.value_or("");
  stationSetup.slots = settings.slots;
  stationSetup.unplugMs = settings.unplugSeconds * 1000;
  std::unique_ptr<StationPasses> passes;
  if (setup.store != nullptr && !options.reburn) {
    passes = std::make_unique<StationPasses>(
        *setup.store, images, *time,
        StationRecordFacts{settings.name, options.operatorName, verify ? "burn --verify" : "burn", setup.reportPath},
        note);
    stationSetup.passes = passes.get();
  }
  Station station(stationSetup, survey, images, launcher, *time, feed);

  std::unique_ptr<LineOperator> lineOperator;
  std::thread operatorThread;
  if (line) {
    LinePlan plan{PortLocations(options.simulatedCameras), options.lineCameras,
                  options.lineSerials.empty() ? ProcessSerialPrefix() : options.lineSerials,
                  stationSetup.unplugMs, options.faults};
    lineOperator = std::make_unique<LineOperator>(std::move(plan), line->Ports(), *time);
    feed.Subscribe(*lineOperator);
  }
  {
    SharedTime::Member member(*time);
    if (lineOperator) {
      SharedTime::Member operatorMember(*time);
      operatorThread = std::thread([&lineOperator, member = std::move(operatorMember)]() mutable {
        SharedTime::Member own = std::move(member);
        lineOperator->Run();
      });
    }
    bool stopping = false;
    station.Run([&] {
      if (InterruptPresses() >= 1 && !stopping) {
        stopping = true;
        station.StopTaking();
        if (lineOperator) lineOperator->Stop();
      }
      const bool lineDone = lineOperator && lineOperator->Done();
      return (stopping || lineDone) && !station.RunsUnderWay();
    });
    if (lineOperator) lineOperator->Stop();
  }
  if (operatorThread.joinable()) operatorThread.join();
  launcher.JoinAll();
  if (forwarder) {
    feed.Unsubscribe(*forwarder);
    forwarder->Stop();
  }
  feed.Unsubscribe(board);
  if (lineOperator) feed.Unsubscribe(*lineOperator);
  if (server) {
    server->Stop();
    feed.Unsubscribe(*stream);
  }

  const std::vector<RunEnded> runs = station.Runs();
  terminal.Print(ShiftSummary(runs));
  if (InterruptPresses() >= 2) return kExitInterrupted;
  const bool allPassed =
      std::all_of(runs.begin(), runs.end(), [](const RunEnded& run) { return run.passed || run.doneBefore; });
  return allPassed ? kExitSuccess : kExitFailure;
}

}  // namespace bb::cli
