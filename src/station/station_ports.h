#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "station/station_view.h"

namespace bb {

// A camera on the bus as the station sees it between runs.
struct SeenCamera {
  std::string location;
  std::string path;
  // Empty when the camera has none, or it could not be read.
  std::string serial;
};

// How the station looks at the bus. Called on the station's own thread.
class CameraSurvey {
 public:
  virtual ~CameraSurvey() = default;
  // Every camera present now, with its location.
  virtual std::vector<SeenCamera> Look() = 0;
  // Whether another program holds the camera: asked just before its run.
  virtual bool HeldByOther(const SeenCamera& camera) = 0;
};

// The job's images, read, checked against their pins and hashed once for
// every session, and again when a file changes.
class ImageSupply {
 public:
  virtual ~ImageSupply() = default;
  // Looks at the files again; empty when they can be burned, else why not.
  virtual std::string Refresh() = 0;
  // For the header: the firmware file and the first digits of its pin.
  virtual std::string Firmware() = 0;
  virtual std::string PinPrefix() = 0;
};

// What a run tells the station, from the run's own thread.
class RunWatcher {
 public:
  virtual ~RunWatcher() = default;
  // The run moved on: burning, waiting for the camera's return, writing
  // storage, verifying; `percent` of the transfer under way, or -1.
  virtual void Progress(SlotState state, int percent) = 0;
  struct Outcome {
    bool passed = false;
    std::int64_t durationMs = 0;
    std::string lastLine;
    std::string runId;
  };
  // The last call of a run.
  virtual void Ended(const Outcome& outcome) = 0;
};

struct RunOrder {
  std::size_t slot = 0;
  std::string label;
  SeenCamera camera;
};

// Starts a session for one camera: it returns at once and the run goes on
// on a thread of its own, telling `watcher` how it goes.
class RunLauncher {
 public:
  virtual ~RunLauncher() = default;
  virtual void Launch(const RunOrder& order, RunWatcher& watcher) = 0;
};

// A camera's earlier pass of the job the station burns.
struct EarlierPass {
  std::string runId;
  // When it ended, as the operator reads it.
  std::string when;
};

// The runs the station keeps: whether a camera passed the job as it stands
// before, so that it is not burned a second time by mistake. Called on the
// station's own thread.
class PassRecords {
 public:
  virtual ~PassRecords() = default;
  // The last run that passed the job's images on the camera of this serial.
  virtual std::optional<EarlierPass> PassedBefore(const std::string& serial) = 0;
  // Keeps that the camera was not burned again, with the line that says so;
  // returns the record's run id.
  virtual std::string KeepDoneBefore(const RunOrder& order, const EarlierPass& earlier, const std::string& line) = 0;
};

}  // namespace bb
