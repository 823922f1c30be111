#pragma once

namespace bb {

// How a session's run passes the time while it waits for its camera to come
// back, and how it learns that it is to end: the host's, or its station's.
class RunPace {
 public:
  virtual ~RunPace() = default;
  // False where waiting can no longer bring the camera back (a replay whose
  // recording did not): the run then ends as it stands.
  virtual bool MayWait() = 0;
  // True once the run has waited as long as it may: it then ends as Esc ends it.
  virtual bool WaitRanOut() = 0;
  // Waits a little for the camera, rather than spin.
  virtual void WaitAWhile() = 0;
  // True once the run is to end where its camera is safe.
  virtual bool StopAsked() = 0;
};

}  // namespace bb
