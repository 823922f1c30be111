#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/shared_time.h"
#include "station/slot_plan.h"
#include "station/station_feed.h"
#include "station/station_ports.h"

namespace bb {

// Which cameras a station takes.
enum class Intake {
  // Every camera that arrives at a slot, until it is told to stop; the
  // cameras present at its start are shown and wait to be plugged in again.
  kArrivals,
  // The cameras present at its start, at once and as they are, and none
  // after them (burn --all): no camera is asked first whether another
  // program holds it, nor held back while the images cannot be burned; each
  // run finds that out and reports it itself.
  kPresentCameras,
};

struct StationSetup {
  std::string name;
  std::string operatorName;
  // None: every location a camera shows up at is a slot, labelled by it.
  std::vector<SlotPlace> slots;
  // How long a slot must have stood empty before the same camera, or one
  // without a serial, is burned there again.
  std::uint32_t unplugMs = 3000;
  // How often the station looks at the bus.
  std::uint32_t lookMs = 250;
  Intake intake = Intake::kArrivals;
  // Where a camera's earlier pass is looked up; null: every camera is burned
  // (no records, or the operator asked to burn again).
  PassRecords* passes = nullptr;
};

// A production station: slots, each with the camera plugged into it, the
// rules that start a run (a camera arriving at a slot that stood empty long
// enough, or a camera other than the slot's last one) and that never start a
// second one for the same camera, and one session per run. Everything it
// shows goes to its feed.
class Station {
 public:
  Station(StationSetup setup, CameraSurvey& survey, ImageSupply& images, RunLauncher& launcher,
          SharedTime& time, StationFeed& feed);
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // Looks at the bus every lookMs of the shared time until `end` says so;
  // the calling thread must take part in the time. What is present at the
  // first look was there before the station: shown, not burned. Taking the
  // cameras present, it looks once, starts their runs and returns once they
  // have all ended, without asking `end`.
  void Run(const std::function<bool()>& end);
  // The first look, and each after it; Run makes them.
  void Start();
  void Look();
  // No more cameras are taken; runs under way go on.
  void StopTaking();
  bool RunsUnderWay();
  // Every run that ended, in the order they ended.
  std::vector<RunEnded> Runs();

 private:
  struct Slot;
  class Watcher;

  Slot* SlotAt(const std::string& location);
  // `thereBefore`: the cameras were there before the station started.
  void Place(const std::vector<SeenCamera>& cameras, bool thereBefore);
  void Judge(Slot& slot, const SeenCamera* camera);
  void StartRuns(const std::vector<Slot*>& due);
  // A camera that passed the job before is not burned: true when it did.
  bool DoneBefore(Slot& slot, const SeenCamera& camera);
  void Progressed(Slot& slot, SlotState state, int percent);
  void Ended(Slot& slot, const RunWatcher::Outcome& outcome);
  void EndRun(Slot& slot, const RunWatcher::Outcome& outcome);
  void PublishSlot(Slot& slot);
  void PublishHeader();

  StationSetup setup_;
  CameraSurvey& survey_;
  ImageSupply& images_;
  RunLauncher& launcher_;
  SharedTime& time_;
  StationFeed& feed_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Slot>> slots_;
  std::vector<StrayCamera> strays_;
  StationHeader header_;
  std::uint64_t startMs_ = 0;
  bool taking_ = true;
  std::vector<RunEnded> runs_;
};

}  // namespace bb
