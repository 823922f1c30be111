#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/window_state.h"
#include "device/camera_binding.h"
#include "device/device_commands.h"
#include "platform/clock.h"
#include "util/sha256.h"

namespace bb {

// What a run does, as a run report names it.
enum class RunCommand { kVersions, kBurn, kBurnVerify, kParamOnly, kReadBack, kLegacy };

// "versions", "burn", "burn --verify", "burn --param-only", "read", "legacy".
const char* RunCommandText(RunCommand command);
// The run that a work kind of the sequencer makes.
RunCommand RunCommandOf(std::int32_t workKind);

// Everything a report tells about one run on one camera.
struct RunRecord {
  struct ImageFile {
    std::string key;   // ParamFile, IspFile or FwFile
    std::string path;
    // Of the bytes the run sent, or of the file as the run checked it before
    // sending; none when the run read no such image.
    std::optional<FileDigest> digest;
  };

  RunCommand command = RunCommand::kVersions;
  std::int64_t startUtcMs = 0;
  std::int64_t endUtcMs = 0;
  // Where the run found its camera: empty when it found none, or the
  // transport could not tell its location.
  std::string location;
  std::string interfacePath;
  // The camera's USB serial number; empty when it has none.
  std::string serial;
  VersionsRead versions;
  // The job's image files, for the runs that send them.
  std::vector<ImageFile> files;
  // What came of the run: the host judges it, since it knows what its
  // operator was told.
  bool succeeded = false;
  int exitStatus = 1;
  std::string lastLogLine;
  // Made when the run begins: the key of its record wherever it is kept.
  std::string runId;
  // Where and by whom, as the host knows it; none when it does not say.
  std::optional<std::string> station;
  std::optional<std::string> operatorName;
  std::optional<std::string> slot;
  // The run's log lines as its operator saw them; the host fills them in.
  std::vector<std::string> log;
  // What a read verify or a read-back read from the camera, as it arrived.
  std::optional<FileDigest> readBack;
};

// The runs of one session. A run lasts from the first step of an operation
// until the operation ends; runs begun inside a run are part of it. While a
// run lasts, the session stays on the camera it first found; when it ends, its
// record goes to the listener. The session's thread only.
class RunTracker {
 public:
  using Listener = std::function<void(RunRecord& record)>;

  RunTracker(CameraBinding& binding, DeviceCommands& commands, WindowState& window,
             Clock& clock)
      : binding_(binding), commands_(commands), window_(window), clock_(clock) {}

  void Begin(RunCommand command);
  void End();
  bool Running() const { return depth_ > 0; }

  // A host that judges a run by more than its log (the boxes it showed) starts
  // afresh here.
  void OnRunBegin(std::function<void()> listener) { beginListener_ = std::move(listener); }
  void OnRunEnd(Listener listener) { listener_ = std::move(listener); }

 private:
  CameraBinding& binding_;
  DeviceCommands& commands_;
  WindowState& window_;
  Clock& clock_;
  std::function<void()> beginListener_;
  Listener listener_;
  int depth_ = 0;
  RunRecord record_;
};

// A run for the length of a scope, or a part of the run already going on.
class RunScope {
 public:
  RunScope(RunTracker& runs, RunCommand command) : runs_(runs) { runs_.Begin(command); }
  ~RunScope() { runs_.End(); }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  RunTracker& runs_;
};

}  // namespace bb
