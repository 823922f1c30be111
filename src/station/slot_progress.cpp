#include "station/slot_progress.h"

#include <optional>

#include "common/steps.h"

namespace bb {

namespace {

// Where a station's run stands, by the step it takes next.
std::optional<SlotState> PhaseOf(std::uint32_t step) {
  switch (step) {
    case kStepStart:
      return SlotState::kBurning;
    case kStepWait:
      return SlotState::kWaitingForReturn;
    case kStepArrived:
      return SlotState::kWritingStorage;
    case kStepVerify:
      return SlotState::kVerifying;
    default:
      return std::nullopt;
  }
}

}  // namespace

void SlotProgress::Stepped(std::uint32_t step) {
  const std::optional<SlotState> phase = PhaseOf(step);
  if (!phase) return;
  phase_ = *phase;
  watcher_.Progress(phase_, -1);
}

void SlotProgress::Moved(const char*, std::uint64_t done, std::uint64_t total) {
  const int percent = done >= total ? 100 : static_cast<int>(done * 100 / total);
  if (percent != lastPercent_) watcher_.Progress(phase_, percent);
  lastPercent_ = percent;
}

}  // namespace bb
