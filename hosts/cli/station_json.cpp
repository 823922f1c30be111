#include "station_json.h"

#include "station_board.h"
#include "util/iso_time.h"

namespace bb::cli {

namespace {

// The state as the page's styles name it.
const char* StateKey(SlotState state) {
  switch (state) {
    case SlotState::kEmpty: return "empty";
    case SlotState::kPresentAtStart: return "present_at_start";
    case SlotState::kHeld: return "held";
    case SlotState::kNotReady: return "not_ready";
    case SlotState::kBurning: return "burning";
    case SlotState::kWaitingForReturn: return "waiting_for_return";
    case SlotState::kWritingStorage: return "writing_storage";
    case SlotState::kVerifying: return "verifying";
    case SlotState::kPassed: return "passed";
    case SlotState::kFailed: return "failed";
    case SlotState::kDoneBefore: return "done_before";
  }
  return "unknown";
}

}  // namespace

Json SlotJson(const SlotView& slot) {
  return Json{{"label", slot.label},
              {"location", slot.location},
              {"state", StateKey(slot.state)},
              {"state_text", SlotStateText(slot.state)},
              {"running", RunsIn(slot.state)},
              {"camera_present", slot.cameraPresent},
              {"serial", slot.serial},
              {"percent", slot.percent},
              {"detail", slot.detail},
              {"note", slot.note},
              {"run_ms", slot.runMs}};
}

Json HeaderJson(const StationHeader& header, const LineView& line) {
  return Json{{"name", header.name},
              {"operator", header.operatorName},
              {"firmware", header.firmware},
              {"pin_prefix", header.pinPrefix},
              {"passed", header.passed},
              {"failed", header.failed},
              {"done_before", header.doneBefore},
              {"cameras_per_hour", header.camerasPerHour},
              {"start", header.startUtcMs == 0 ? Json(nullptr) : Json(IsoUtc(header.startUtcMs))},
              {"not_ready", header.notReady},
              {"stopping", header.stopping},
              {"line", LineText(line)}};
}

Json StraysJson(const std::vector<StrayCamera>& strays) {
  Json list = Json::array();
  for (const StrayCamera& stray : strays) list.push_back(Json{{"location", stray.location}, {"serial", stray.serial}});
  return list;
}

Json RunEndedJson(const RunEnded& run) {
  return Json{{"slot", run.label},
              {"location", run.location},
              {"serial", run.serial},
              {"result", run.doneBefore ? "done before" : run.passed ? "ok" : "failed"},
              {"duration_ms", run.durationMs},
              {"last_log_line", run.lastLine},
              {"run_id", run.runId}};
}

Json SnapshotJson(const StationSnapshot& snapshot, std::uint64_t sequence, const std::deque<RunEnded>& runs) {
  Json slots = Json::array();
  for (const SlotView& slot : snapshot.slots) slots.push_back(SlotJson(slot));
  Json ended = Json::array();
  for (const RunEnded& run : runs) ended.push_back(RunEndedJson(run));
  return Json{{"sequence", sequence},
              {"header", HeaderJson(snapshot.header, snapshot.line)},
              {"slots", std::move(slots)},
              {"strays", StraysJson(snapshot.strays)},
              {"runs", std::move(ended)}};
}

std::string StreamMessage(const char* event, const Json& data) {
  return std::string("event: ") + event + "\ndata: " + JsonText(data) + "\n\n";
}

}  // namespace bb::cli
