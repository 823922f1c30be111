#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bb {

// What a slot shows. A run's result stays until the slot's next run starts,
// whether or not its camera is still there.
enum class SlotState {
  kEmpty,
  // A camera that was there when the station started: shown, not burned
  // until it is plugged in again.
  kPresentAtStart,
  kHeld,
  kNotReady,
  kBurning,
  kWaitingForReturn,
  kWritingStorage,
  kVerifying,
  kPassed,
  kFailed,
  // The camera passed this job before, by the records: not burned again.
  kDoneBefore,
};

// "empty", "burning", "PASS", ... as the board and the page show it.
const char* SlotStateText(SlotState state);
// True while a run is under way in the slot.
bool RunsIn(SlotState state);

struct SlotView {
  std::string label;
  std::string location;
  SlotState state = SlotState::kEmpty;
  bool cameraPresent = false;
  // The serial of the camera at the slot, or of its last run's camera.
  std::string serial;
  // Of a transfer under way, 0 to 100; -1 when there is none.
  int percent = -1;
  // What the state needs said: a result's last log line, why the station
  // is not ready, when a camera that was done before passed.
  std::string detail;
  // What the operator should know beside it ("back within 3 s: not burned
  // again", "serial SIM3 also at slot B").
  std::string note;
  // The length of the run under way or of the last one.
  std::int64_t runMs = 0;
};

// A camera at a location that is no slot: left alone.
struct StrayCamera {
  std::string location;
  std::string serial;
};

struct StationHeader {
  std::string name;
  std::string operatorName;
  std::string firmware;
  // The first 12 hex digits of the firmware's pin.
  std::string pinPrefix;
  unsigned passed = 0;
  unsigned failed = 0;
  // Cameras that passed the job before and were not burned again.
  unsigned doneBefore = 0;
  double camerasPerHour = 0;
  std::int64_t startUtcMs = 0;
  // Empty while the station takes cameras; else why it does not.
  std::string notReady;
  bool stopping = false;
};

// How the station's forwarding to the line's database stands.
struct LineView {
  enum class State {
    kNone,  // the station has no line
    kStarting,
    kSent,
    kUnreachable,
    kRefused,
  };
  State state = State::kNone;
  // The connection string with any secret masked.
  std::string database;
  // The end of the newest run the line holds from this station; 0: none yet.
  std::int64_t sentUpToUtcMs = 0;
  // Since when the line is unreachable or refuses; 0 while it takes runs.
  std::int64_t sinceUtcMs = 0;
  std::size_t waiting = 0;
  // Why the line is unreachable or refuses, as the server or libpq says.
  std::string reason;
};

// One run that ended, as the station's plain lines and summary list it.
struct RunEnded {
  std::string label;
  std::string location;
  std::string serial;
  bool passed = false;
  std::int64_t durationMs = 0;
  std::string lastLine;
  std::string runId;
  // No run: the camera passed the job before (passed is false).
  bool doneBefore = false;
};

struct StationSnapshot {
  StationHeader header;
  std::vector<SlotView> slots;
  std::vector<StrayCamera> strays;
  LineView line;
};

// One change of the station, in the order they happened; `sequence` counts
// from 1 over the station's life.
struct StationEvent {
  enum class Kind { kSlot, kStrays, kHeader, kRunEnded, kLine };
  std::uint64_t sequence = 0;
  Kind kind = Kind::kSlot;
  std::size_t slot = 0;
  SlotView slotView;
  std::vector<StrayCamera> strays;
  StationHeader header;
  RunEnded run;
  LineView line;
};

// Brings a snapshot up to date with the change that followed it.
void ApplyEvent(StationSnapshot& snapshot, const StationEvent& event);

}  // namespace bb
