#include "station/station_view.h"

namespace bb {

const char* SlotStateText(SlotState state) {
  switch (state) {
    case SlotState::kEmpty: return "empty";
    case SlotState::kPresentAtStart: return "plug in again to burn";
    case SlotState::kHeld: return "held by another program";
    case SlotState::kNotReady: return "not ready";
    case SlotState::kBurning: return "burning";
    case SlotState::kWaitingForReturn: return "waiting for the camera's return";
    case SlotState::kWritingStorage: return "writing storage";
    case SlotState::kVerifying: return "verifying";
    case SlotState::kPassed: return "PASS";
    case SlotState::kFailed: return "FAIL";
    case SlotState::kDoneBefore: return "done before";
  }
  return "?";
}

bool RunsIn(SlotState state) {
  return state == SlotState::kBurning || state == SlotState::kWaitingForReturn ||
         state == SlotState::kWritingStorage || state == SlotState::kVerifying;
}

void ApplyEvent(StationSnapshot& snapshot, const StationEvent& event) {
  switch (event.kind) {
    case StationEvent::Kind::kSlot:
      if (event.slot == snapshot.slots.size()) snapshot.slots.push_back(event.slotView);
      if (event.slot < snapshot.slots.size()) snapshot.slots[event.slot] = event.slotView;
      break;
    case StationEvent::Kind::kStrays: snapshot.strays = event.strays; break;
    case StationEvent::Kind::kHeader: snapshot.header = event.header; break;
    case StationEvent::Kind::kRunEnded: break;
    case StationEvent::Kind::kLine: snapshot.line = event.line; break;
  }
}

}  // namespace bb
