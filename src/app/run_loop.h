#pragma once

#include <functional>

#include "app/sequencer.h"
#include "common/arrival_watcher.h"
#include "platform/std/fifo_step_queue.h"

namespace bb {

// How a run driven by the loop came to its end.
enum class RunEnd {
  kFinished,
  // Ctrl-C ended it before its work was done.
  kInterrupted,
  // Ctrl-C came while a step that cannot be cut short ran, and the run was
  // done by the time it could be stopped: its own result stands.
  kFinishedDespiteInterrupt,
};

// The message loop of one run, as the window's would be: posted steps one at
// a time, the camera's return while nothing is queued, and Ctrl-C taken as
// Esc between steps. Each run has its own loop, so every run of a process
// answers the one Ctrl-C for itself.
class RunLoop {
 public:
  // `idle` lets the outside world move while no step is queued and says
  // whether something happened; when nothing did, `waitAWhile` waits a
  // little rather than spin, and returns false where waiting can no longer
  // bring the camera back (the run then ends as it stands). `interrupted`
  // says whether Ctrl-C came.
  RunLoop(Sequencer& sequencer, FifoStepQueue& steps, ArrivalWatcher& arrivals,
          std::function<bool()> idle, std::function<bool()> waitAWhile,
          std::function<bool()> interrupted);

  // Told of each step as it is taken, before it runs: where the run is.
  void OnStep(std::function<void(std::uint32_t step)> told) { onStep_ = std::move(told); }

  // Runs the posted steps until the run ends.
  RunEnd Pump();

 private:
  bool StopRun();

  Sequencer& sequencer_;
  FifoStepQueue& steps_;
  ArrivalWatcher& arrivals_;
  std::function<bool()> idle_;
  std::function<bool()> waitAWhile_;
  std::function<bool()> interrupted_;
  std::function<void(std::uint32_t)> onStep_;
};

}  // namespace bb
