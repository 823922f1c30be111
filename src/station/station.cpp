#include "station/station.h"

#include <algorithm>
#include <chrono>

#include "util/format.h"

namespace bb {

namespace {

using Steady = std::chrono::steady_clock;

// Progress of one slot reaches the views at most this often.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// Why a camera the records know nothing certain of is burned all the same.
constexpr char kNoSerialNote[] = "no serial: burned without a look at its records";
constexpr char kTwinNote[] = ": burned without a look at its records";

bool SameSerial(const std::string& a, const std::string& b) { return SameLabel(a, b); }

bool SameView(const SlotView& a, const SlotView& b) {
  return a.state == b.state && a.cameraPresent == b.cameraPresent && a.serial == b.serial &&
         a.percent == b.percent && a.detail == b.detail && a.note == b.note && a.runMs == b.runMs;
}

bool SameStrays(const std::vector<StrayCamera>& a, const std::vector<StrayCamera>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const StrayCamera& x, const StrayCamera& y) {
    return x.location == y.location && x.serial == y.serial;
  });
}

}  // namespace

struct Station::Slot {
  std::size_t index = 0;
  SlotView view;
  // What the last look saw at the slot.
  std::optional<SeenCamera> camera;
  // Since when the slot stands empty; never held a camera counts as long ago.
  bool emptyLongAgo = true;
  std::uint64_t emptySinceMs = 0;
  // The serial of the slot's last run's camera, or of the camera found there
  // at the start.
  std::string lastSerial;
  // A camera arrived that is to be burned, once the station can.
  bool pending = false;
  bool running = false;
  std::uint64_t runStartMs = 0;
  Steady::time_point lastProgress{};
  // Why a camera that is there is not burned, and that its serial is not its own.
  std::string ruleNote;
  std::string twinNote;
  SlotView published;
  bool everPublished = false;
  std::unique_ptr<Watcher> watcher;
};

class Station::Watcher final : public RunWatcher {
 public:
  Watcher(Station& station, Slot& slot) : station_(station), slot_(slot) {}
  void Progress(SlotState state, int percent) override { station_.Progressed(slot_, state, percent); }
  void Ended(const Outcome& outcome) override { station_.Ended(slot_, outcome); }

 private:
  Station& station_;
  Slot& slot_;
};

Station::Station(StationSetup setup, CameraSurvey& survey, ImageSupply& images, RunLauncher& launcher,
                 SharedTime& time, StationFeed& feed)
    : setup_(std::move(setup)), survey_(survey), images_(images), launcher_(launcher), time_(time), feed_(feed) {
  header_.name = setup_.name;
  header_.operatorName = setup_.operatorName;
  for (const SlotPlace& place : setup_.slots) {
    auto slot = std::make_unique<Slot>();
    slot->index = slots_.size();
    slot->view.label = place.label;
    slot->view.location = place.location;
    slot->watcher = std::make_unique<Watcher>(*this, *slot);
    slots_.push_back(std::move(slot));
  }
}

Station::~Station() = default;

void Station::Run(const std::function<bool()>& end) {
  Start();
  if (setup_.intake == Intake::kPresentCameras) {
    // No camera comes after those present: the station ends with their runs.
    while (RunsUnderWay()) time_.WaitUntil(time_.NowMs() + setup_.lookMs, [this] { return !RunsUnderWay(); });
    return;
  }
  while (!end()) {
    time_.SleepUntil(time_.NowMs() + setup_.lookMs);
    Look();
  }
}

void Station::Start() {
  const std::vector<SeenCamera> cameras = survey_.Look();
  const bool present = setup_.intake == Intake::kPresentCameras;
  // The runs of the cameras present read their images themselves.
  const std::string notReady = present ? std::string() : images_.Refresh();
  std::vector<Slot*> due;
  {
    std::lock_guard lock(mutex_);
    startMs_ = time_.NowMs();
    header_.startUtcMs = time_.UtcNowMs();
    header_.firmware = images_.Firmware();
    header_.pinPrefix = images_.PinPrefix();
    header_.notReady = notReady;
    PublishHeader();
    for (const auto& slot : slots_) PublishSlot(*slot);
    // The cameras present are the ones to burn, or were there before the station.
    Place(cameras, !present);
    if (present) {
      for (const auto& slot : slots_) {
        if (slot->pending) due.push_back(slot.get());
      }
    }
  }
  StartRuns(due);
}

void Station::Look() {
  const std::vector<SeenCamera> cameras = survey_.Look();
  const std::string notReady = images_.Refresh();
  std::vector<Slot*> due;
  {
    std::lock_guard lock(mutex_);
    if (notReady != header_.notReady || images_.Firmware() != header_.firmware ||
        images_.PinPrefix() != header_.pinPrefix) {
      header_.notReady = notReady;
      header_.firmware = images_.Firmware();
      header_.pinPrefix = images_.PinPrefix();
      PublishHeader();
    }
    Place(cameras, false);
    for (const auto& slot : slots_) {
      if (!slot->pending) continue;
      if (!taking_) continue;
      if (!notReady.empty()) {
        slot->view.state = SlotState::kNotReady;
        slot->view.detail = notReady;
        PublishSlot(*slot);
        continue;
      }
      due.push_back(slot.get());
    }
  }
  StartRuns(due);
}

// Asking another program's claim and starting a session take their time:
// meanwhile the runs under way report without waiting for the station.
void Station::StartRuns(const std::vector<Slot*>& due) {
  for (Slot* slot : due) {
    const SeenCamera camera = *slot->camera;
    if (DoneBefore(*slot, camera)) continue;
    const bool held = setup_.intake == Intake::kArrivals && survey_.HeldByOther(camera);
    {
      std::lock_guard lock(mutex_);
      if (held) {
        slot->view.state = SlotState::kHeld;
        slot->view.detail.clear();
        PublishSlot(*slot);
        continue;
      }
      slot->pending = false;
      slot->running = true;
      slot->lastSerial = camera.serial;
      slot->runStartMs = time_.NowMs();
      slot->view.state = SlotState::kBurning;
      slot->view.percent = -1;
      slot->view.detail.clear();
      slot->view.runMs = 0;
      slot->view.serial = camera.serial;
      slot->ruleNote.clear();
      if (setup_.passes != nullptr && camera.serial.empty()) slot->ruleNote = kNoSerialNote;
      slot->view.note = slot->twinNote.empty() ? slot->ruleNote : slot->twinNote;
      PublishSlot(*slot);
    }
    launcher_.Launch(RunOrder{slot->index, slot->view.label, camera}, *slot->watcher);
  }
}

Station::Slot* Station::SlotAt(const std::string& location) {
  for (const auto& slot : slots_) {
    if (slot->view.location == location) return slot.get();
  }
  return nullptr;
}

void Station::Place(const std::vector<SeenCamera>& cameras, bool thereBefore) {
  std::vector<StrayCamera> strays;
  std::vector<const SeenCamera*> at(slots_.size(), nullptr);
  for (const SeenCamera& camera : cameras) {
    Slot* slot = SlotAt(camera.location);
    if (slot == nullptr && setup_.slots.empty() && !camera.location.empty()) {
      auto made = std::make_unique<Slot>();
      made->index = slots_.size();
      made->view.label = camera.location;
      made->view.location = camera.location;
      made->watcher = std::make_unique<Watcher>(*this, *made);
      slot = made.get();
      slots_.push_back(std::move(made));
      at.push_back(nullptr);
    }
    if (slot == nullptr) {
      strays.push_back(StrayCamera{camera.location, camera.serial});
      continue;
    }
    if (at[slot->index] == nullptr) at[slot->index] = &camera;
  }
  for (const auto& slot : slots_) {
    const SeenCamera* camera = at[slot->index];
    if (thereBefore && camera != nullptr) {
      slot->camera = *camera;
      slot->emptyLongAgo = false;
      slot->lastSerial = camera->serial;
      slot->view.state = SlotState::kPresentAtStart;
      slot->view.cameraPresent = true;
      slot->view.serial = camera->serial;
    } else {
      Judge(*slot, camera);
    }
  }
  // A serial that two cameras show at once tells neither apart.
  for (const auto& slot : slots_) {
    slot->twinNote.clear();
    const SeenCamera* camera = at[slot->index];
    if (camera == nullptr || camera->serial.empty()) continue;
    for (const auto& other : slots_) {
      const SeenCamera* twin = at[other->index];
      if (other != slot && twin != nullptr && SameSerial(twin->serial, camera->serial)) {
        slot->twinNote = "serial " + camera->serial + " also at slot " + other->view.label;
        if (setup_.passes != nullptr) slot->twinNote += kTwinNote;
      }
    }
  }
  for (const auto& slot : slots_) {
    slot->view.note = slot->twinNote.empty() ? slot->ruleNote : slot->twinNote;
    PublishSlot(*slot);
  }
  if (!SameStrays(strays, strays_)) {
    strays_ = strays;
    feed_.SetStrays(strays_);
  }
}

void Station::Judge(Slot& slot, const SeenCamera* camera) {
  if (slot.running) {
    // The run's camera restarts and comes back as part of its run.
    slot.view.cameraPresent = camera != nullptr;
    if (camera != nullptr) slot.camera = *camera;
    else slot.camera.reset();
    return;
  }
  const std::uint64_t now = time_.NowMs();
  if (camera == nullptr) {
    if (slot.camera) {
      slot.camera.reset();
      slot.emptyLongAgo = false;
      slot.emptySinceMs = now;
    }
    slot.pending = false;
    slot.view.cameraPresent = false;
    slot.ruleNote.clear();
    if (slot.view.state == SlotState::kPresentAtStart || slot.view.state == SlotState::kHeld ||
        slot.view.state == SlotState::kNotReady) {
      slot.view.state = SlotState::kEmpty;
      slot.view.detail.clear();
    }
    return;
  }
  // A camera of another serial in the place of the one seen before arrived,
  // even if the slot never looked empty in between.
  const bool arrived = !slot.camera || (!camera->serial.empty() && !slot.camera->serial.empty() &&
                                        !SameSerial(camera->serial, slot.camera->serial));
  slot.camera = *camera;
  slot.view.cameraPresent = true;
  slot.view.serial = camera->serial;
  if (!arrived) return;
  const bool stoodEmpty = slot.emptyLongAgo || now - slot.emptySinceMs >= setup_.unplugMs;
  const bool another = !camera->serial.empty() && !SameSerial(camera->serial, slot.lastSerial);
  slot.pending = stoodEmpty || another;
  slot.ruleNote.clear();
  if (!slot.pending) {
    const unsigned seconds = (setup_.unplugMs + 999) / 1000;
    slot.ruleNote = Format("back within %u s: not burned again; unplug it for %u s to burn it", seconds, seconds);
  }
}

bool Station::DoneBefore(Slot& slot, const SeenCamera& camera) {
  {
    // A serial that two cameras show tells nothing of either's past.
    std::lock_guard lock(mutex_);
    if (setup_.passes == nullptr || camera.serial.empty() || !slot.twinNote.empty()) return false;
  }
  const std::optional<EarlierPass> earlier = setup_.passes->PassedBefore(camera.serial);
  if (!earlier) return false;
  const RunOrder order{slot.index, slot.view.label, camera};
  const std::string line = "passed before at " + earlier->when + " (run " + earlier->runId + "): not burned again";
  const std::string runId = setup_.passes->KeepDoneBefore(order, *earlier, line);
  std::lock_guard lock(mutex_);
  slot.pending = false;
  slot.lastSerial = camera.serial;
  slot.view.state = SlotState::kDoneBefore;
  slot.view.percent = -1;
  slot.view.runMs = 0;
  slot.view.serial = camera.serial;
  slot.view.detail = "passed " + earlier->when;
  header_.doneBefore += 1;
  const RunEnded run{slot.view.label, slot.view.location, camera.serial, false, 0, line, runId, true};
  runs_.push_back(run);
  PublishSlot(slot);
  feed_.AddRunEnded(run);
  PublishHeader();
  return true;
}

void Station::Progressed(Slot& slot, SlotState state, int percent) {
  std::lock_guard lock(mutex_);
  if (!slot.running) return;
  const Steady::time_point now = Steady::now();
  const bool moved = state != slot.view.state;
  if (!moved && (percent == slot.view.percent || now - slot.lastProgress < kProgressInterval)) return;
  slot.lastProgress = now;
  slot.view.state = state;
  slot.view.percent = percent;
  slot.view.runMs = static_cast<std::int64_t>(time_.NowMs() - slot.runStartMs);
  PublishSlot(slot);
}

void Station::Ended(Slot& slot, const RunWatcher::Outcome& outcome) {
  EndRun(slot, outcome);
  // A station that waits for its runs to end looks again.
  time_.Notify();
}

void Station::EndRun(Slot& slot, const RunWatcher::Outcome& outcome) {
  std::lock_guard lock(mutex_);
  slot.running = false;
  slot.view.state = outcome.passed ? SlotState::kPassed : SlotState::kFailed;
  slot.view.percent = -1;
  slot.view.detail = outcome.lastLine;
  slot.view.runMs = outcome.durationMs;
  slot.view.serial = slot.lastSerial;
  if (slot.camera) {
    // Whatever is there now is taken for the run's camera: only a camera
    // that shows another serial later is another camera.
    slot.camera->serial = slot.lastSerial;
  } else {
    slot.emptyLongAgo = false;
    slot.emptySinceMs = time_.NowMs();
  }
  (outcome.passed ? header_.passed : header_.failed) += 1;
  const RunEnded run{slot.view.label, slot.view.location, slot.lastSerial, outcome.passed,
                     outcome.durationMs, outcome.lastLine, outcome.runId};
  runs_.push_back(run);
  PublishSlot(slot);
  feed_.AddRunEnded(run);
  PublishHeader();
}

void Station::StopTaking() {
  std::lock_guard lock(mutex_);
  taking_ = false;
  header_.stopping = true;
  for (const auto& slot : slots_) slot->pending = false;
  PublishHeader();
}

bool Station::RunsUnderWay() {
  std::lock_guard lock(mutex_);
  return std::any_of(slots_.begin(), slots_.end(), [](const auto& slot) { return slot->running; });
}

std::vector<RunEnded> Station::Runs() {
  std::lock_guard lock(mutex_);
  return runs_;
}

void Station::PublishSlot(Slot& slot) {
  if (slot.everPublished && SameView(slot.published, slot.view)) return;
  slot.published = slot.view;
  slot.everPublished = true;
  feed_.SetSlot(slot.index, slot.view);
}

void Station::PublishHeader() {
  const std::uint64_t elapsed = time_.NowMs() - startMs_;
  const unsigned runs = header_.passed + header_.failed;
  header_.camerasPerHour = elapsed == 0 ? 0.0 : runs * 3'600'000.0 / static_cast<double>(elapsed);
  feed_.SetHeader(header_);
}

}  // namespace bb
