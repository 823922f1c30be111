#include "every_camera.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "native_profile.h"
#include "platform/std/scaled_time.h"
#include "station/station.h"
#include "station/station_images.h"
#include "util/format.h"

namespace bb::cli {

namespace {

// The cameras listed when the command started: the station's only look.
class CamerasPresent final : public CameraSurvey {
 public:
  explicit CamerasPresent(const std::vector<AttachedCamera>& cameras) {
    for (const AttachedCamera& camera : cameras) {
      cameras_.push_back(SeenCamera{camera.location, camera.path, camera.serial});
    }
  }
  std::vector<SeenCamera> Look() override { return cameras_; }
  // Each run finds out for itself.
  bool HeldByOther(const SeenCamera&) override { return false; }

 private:
  std::vector<SeenCamera> cameras_;
};

struct CameraResult {
  std::string location;
  SessionOutcome outcome;
};

// Each camera's run as a session of its own, on a thread of its own, its
// lines prefixed by its location; keeps what came of each, in the order the
// runs started.
class EveryCameraLauncher final : public RunLauncher {
 public:
  EveryCameraLauncher(const ProcessSetup& setup, CameraWorld& world, Terminal& terminal)
      : setup_(setup), world_(world), terminal_(terminal) {}
  ~EveryCameraLauncher() override { JoinAll(); }
  EveryCameraLauncher(const EveryCameraLauncher&) = delete;
  EveryCameraLauncher& operator=(const EveryCameraLauncher&) = delete;

  void Launch(const RunOrder& order, RunWatcher& watcher) override {
    CameraResult& result = results_.emplace_back();
    result.location = order.camera.location;
    const TerminalChannel channel{terminal_, terminal_.AddChannel("[" + result.location + "] ")};
    threads_.emplace_back([this, channel, &result, &watcher] {
      result.outcome = RunSession(setup_, world_, channel, result.location);
      const SessionOutcome& outcome = result.outcome;
      watcher.Ended(RunWatcher::Outcome{outcome.exitStatus == kExitSuccess, outcome.durationMs, outcome.lastLine,
                                        outcome.runId});
    });
  }

  void JoinAll() {
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
  }
  // Read once every run has ended.
  const std::deque<CameraResult>& Results() const { return results_; }

 private:
  const ProcessSetup& setup_;
  CameraWorld& world_;
  Terminal& terminal_;
  std::deque<CameraResult> results_;
  std::vector<std::thread> threads_;
};

// One row per camera: its location, result, time and last log line.
std::string Summary(const std::deque<CameraResult>& results) {
  std::size_t width = 6;
  for (const CameraResult& result : results) width = std::max(width, result.location.size());
  const int column = static_cast<int>(width);
  std::string text = Format("%-*s  %-6s  %8s  %s\n", column, "camera", "result", "time", "last line");
  for (const CameraResult& result : results) {
    const SessionOutcome& outcome = result.outcome;
    text += Format("%-*s  %-6s  %6.1f s  %s\n", column, result.location.c_str(),
                   outcome.exitStatus == kExitSuccess ? "ok" : "failed",
                   static_cast<double>(outcome.durationMs) / 1000.0, outcome.lastLine.c_str());
  }
  return text;
}

int ExitStatusOf(const std::deque<CameraResult>& results) {
  const auto any = [&](int status) {
    return std::any_of(results.begin(), results.end(),
                       [status](const CameraResult& result) { return result.outcome.exitStatus == status; });
  };
  // Ctrl-C that ended a camera's run ends the program as it ends one run.
  if (any(kExitInterrupted)) return kExitInterrupted;
  return any(kExitFailure) || any(kExitUnusable) ? kExitFailure : kExitSuccess;
}

}  // namespace

int RunEveryCamera(const ProcessSetup& setup, CameraWorld& world, const std::vector<AttachedCamera>& cameras,
                   Terminal& terminal) {
  if (cameras.empty()) {
    terminal.Print("burnbench-cli: no camera attached\n");
    return kExitFailure;
  }
  const bool located = std::none_of(cameras.begin(), cameras.end(),
                                    [](const AttachedCamera& camera) { return camera.location.empty(); });
  if (!located) {
    terminal.Print("burnbench-cli: the driver does not tell where the cameras are plugged in; "
                   "--all cannot keep them apart\n");
    return kExitUnusable;
  }
  if (const std::optional<std::string> twice = RepeatedLocation(cameras)) {
    terminal.Print("burnbench-cli: several cameras report the location " + *twice +
                   "; --all cannot keep them apart\n");
    return kExitUnusable;
  }
  const bool burn = setup.options.command == "burn";
  if (burn && !setup.settingsRead) {
    terminal.Print("burnbench-cli: cannot read " + setup.iniPath + "\n");
    return kExitUnusable;
  }
  // One copy of each image for every camera, read and hashed once.
  NativeProfile profile;
  StationImages images(profile, Context(setup.values), true);
  ProcessSetup shared = setup;
  if (burn && images.Refresh().empty()) shared.sharedImages = images.Images();

  // The station's own time is the machine's: each run keeps a clock of its own.
  ScaledTime time(1.0);
  StationFeed feed;
  CamerasPresent present(cameras);
  EveryCameraLauncher launcher(shared, world, terminal);
  StationSetup setupOfAll;
  setupOfAll.intake = Intake::kPresentCameras;
  Station station(setupOfAll, present, images, launcher, time, feed);
  station.Run({});
  // A run's thread may still be on its way out of the station's watcher.
  launcher.JoinAll();
  terminal.Print(Summary(launcher.Results()));
  return ExitStatusOf(launcher.Results());
}

}  // namespace bb::cli
