#pragma once

#include <optional>
#include <string>

namespace bb {

// Keeps a session on its camera. A camera is known by its location, the port it
// is plugged into, which stays the same when it re-enumerates under a new
// interface path. A run is bound to the camera that its first device operation
// finds; from then until the run ends, every search sees only the interface at
// that location, so a burn never goes on on another camera. A pinned session
// serves one location for its whole life. Where the transport reports no
// locations nothing is bound and every search takes the last interface.
// The session's thread only.
class CameraBinding {
 public:
  // From now on only the camera at `location` is used, in and out of runs.
  void Pin(std::string location);

  // A run starts: the first camera found from now on is kept until EndRun.
  void BeginRun();
  void EndRun();
  bool InRun() const { return inRun_; }
  // A run is on, and has not found its camera yet.
  bool AwaitsCamera() const { return inRun_ && !runFoundCamera_; }

  // The location every search is confined to; null while none is bound.
  const std::string* Location() const;

  // The search found a usable interface at `location` (empty when the
  // transport cannot tell) under `path`, of the device with `serial` (empty
  // for none).
  void Found(const std::string& location, const std::string& path, const std::string& serial);

  // Where the current or last run found its camera first: empty before any.
  const std::string& RunLocation() const { return runLocation_; }
  const std::string& RunPath() const { return runPath_; }
  const std::string& RunSerial() const { return runSerial_; }

 private:
  std::optional<std::string> pinned_;
  std::optional<std::string> learned_;
  bool inRun_ = false;
  bool runFoundCamera_ = false;
  std::string runLocation_;
  std::string runPath_;
  std::string runSerial_;
};

}  // namespace bb
