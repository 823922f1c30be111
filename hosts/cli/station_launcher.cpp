#include "station_launcher.h"

#include <utility>

namespace bb::cli {

StationLauncher::StationLauncher(const ProcessSetup& setup, CameraWorld& world, Terminal& terminal,
                                 SharedTime& time, StationImages& images, bool verify,
                                 std::function<bool()> stop, std::pair<std::string, std::optional<std::string>> who)
    : setup_(setup),
      world_(world),
      terminal_(terminal),
      time_(time),
      images_(images),
      verify_(verify),
      stop_(std::move(stop)),
      who_(std::move(who)) {}

StationLauncher::~StationLauncher() { JoinAll(); }

void StationLauncher::JoinAll() {
  std::lock_guard lock(mutex_);
  for (Running& run : running_) run.thread.join();
  running_.clear();
}

int StationLauncher::ChannelOf(const std::string& label) {
  const auto known = channels_.find(label);
  if (known != channels_.end()) return known->second;
  const int channel = terminal_.AddChannel("[" + label + "] ", !setup_.options.log);
  channels_.emplace(label, channel);
  return channel;
}

void StationLauncher::Reap() {
  for (auto run = running_.begin(); run != running_.end();) {
    if (!run->done) {
      ++run;
      continue;
    }
    run->thread.join();
    run = running_.erase(run);
  }
}

void StationLauncher::Launch(const RunOrder& order, RunWatcher& watcher) {
  std::lock_guard lock(mutex_);
  Reap();
  const TerminalChannel channel{terminal_, ChannelOf(order.label)};
  Running& run = running_.emplace_back();
  // The run takes part in the time from now: none passes before it starts.
  SharedTime::Member member(time_);
  run.thread = std::thread([this, &run, channel, order, &watcher, member = std::move(member)]() mutable {
    {
      SharedTime::Member own = std::move(member);
      StationRun station{time_, watcher, images_.Images(), order.label, who_.first, who_.second, verify_, stop_};
      const SessionOutcome outcome = RunSession(setup_, world_, channel, order.camera.location, station);
      watcher.Ended(RunWatcher::Outcome{outcome.exitStatus == kExitSuccess, outcome.durationMs,
                                        outcome.lastLine, outcome.runId});
    }
    run.done = true;
  });
}

}  // namespace bb::cli
