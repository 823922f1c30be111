#include "app/run_loop.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/steps.h"

namespace bb {

RunLoop::RunLoop(Sequencer& sequencer, FifoStepQueue& steps, ArrivalWatcher& arrivals,
                 std::function<bool()> idle, std::function<bool()> waitAWhile,
                 std::function<bool()> interrupted)
    : sequencer_(sequencer),
      steps_(steps),
      arrivals_(arrivals),
      idle_(std::move(idle)),
      waitAWhile_(std::move(waitAWhile)),
      interrupted_(std::move(interrupted)) {}

RunEnd RunLoop::Pump() {
  bool answered = false;
  RunEnd end = RunEnd::kFinished;
  for (;;) {
    // Ctrl-C is looked at between steps only: a step that runs may not be
    // cut short without leaving the camera in the middle of something.
    if (!answered && interrupted_()) {
      answered = true;
      end = StopRun() ? RunEnd::kInterrupted : RunEnd::kFinishedDespiteInterrupt;
    }
    if (std::optional<std::uint32_t> step = steps_.Take()) {
      if (onStep_) onStep_(*step);
      sequencer_.OnStep(*step);
      continue;
    }
    if (!arrivals_.Watching()) break;
    if (!idle_() && !waitAWhile_()) break;
  }
  // Ctrl-C during the last step finds the run already done.
  if (!answered && interrupted_()) end = RunEnd::kFinishedDespiteInterrupt;
  return end;
}

// Ends the run as Esc does, at once: whatever is queued would carry the run on
// (the camera's storage write, the read verify), and between steps the camera
// is safe. A run with nothing left but its end is left to finish; false then.
bool RunLoop::StopRun() {
  std::vector<std::uint32_t> queued;
  while (std::optional<std::uint32_t> step = steps_.Take()) queued.push_back(*step);
  const bool goesOn = arrivals_.Watching() ||
                      std::any_of(queued.begin(), queued.end(),
                                  [](std::uint32_t step) { return step != kStepEnd; });
  if (!goesOn) {
    for (const std::uint32_t step : queued) steps_.Post(step);
    return false;
  }
  sequencer_.FilterKey(Sequencer::kKeyDown, Sequencer::kKeyEscape);
  return true;
}

}  // namespace bb
