#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <string>
#include <thread>

#include "cli_session.h"
#include "platform/camera_link.h"
#include "platform/shared_time.h"
#include "station/station_images.h"
#include "station/station_ports.h"
#include "terminal.h"

namespace bb::cli {

// Starts each of a station's runs as a session of its own, on a thread of its
// own that takes part in the station's time, bound to its camera's location;
// its lines carry the slot's label, and reach standard output only with
// --log.
class StationLauncher final : public RunLauncher {
 public:
  // `who`: the station's name and its operator, for every run's record.
  StationLauncher(const ProcessSetup& setup, CameraWorld& world, Terminal& terminal, SharedTime& time,
                  StationImages& images, bool verify, std::function<bool()> stop,
                  std::pair<std::string, std::optional<std::string>> who);
  // Waits for every run it started.
  ~StationLauncher() override;
  StationLauncher(const StationLauncher&) = delete;
  StationLauncher& operator=(const StationLauncher&) = delete;

  void Launch(const RunOrder& order, RunWatcher& watcher) override;
  // Waits for every run it started to end.
  void JoinAll();

 private:
  struct Running {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  int ChannelOf(const std::string& label);
  // Joins the threads of the runs that ended, so that a shift does not keep one per camera.
  void Reap();

  const ProcessSetup& setup_;
  CameraWorld& world_;
  Terminal& terminal_;
  SharedTime& time_;
  StationImages& images_;
  bool verify_;
  std::function<bool()> stop_;
  std::pair<std::string, std::optional<std::string>> who_;
  std::mutex mutex_;
  std::map<std::string, int> channels_;
  std::list<Running> running_;
};

}  // namespace bb::cli
