#include "line_operator.h"

#include <algorithm>
#include <limits>
#include <random>
#include <utility>

#include "util/format.h"

namespace bb::cli {

namespace {

// How long a result shows before its camera is taken away.
constexpr std::uint64_t kLookAtResultMs = 2000;
// A camera whose run never shows a result is taken away after this long.
constexpr std::uint64_t kGiveUpMs = 30 * 60 * 1000;
constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

}  // namespace

std::string LineSerial(const std::string& prefix, unsigned k) { return prefix + Format("%05u", k); }

std::string ProcessSerialPrefix() {
  std::random_device random;
  return Format("SN%06X-", random() & 0xFFFFFFu);
}

LineOperator::LineOperator(LinePlan plan, LinePorts& ports, SharedTime& time)
    : plan_(std::move(plan)), ports_(ports), time_(time) {
  for (const std::string& location : plan_.ports) {
    Port port;
    port.location = location;
    slots_.push_back(port);
  }
}

std::vector<FaultChoice> LineOperator::FaultsFor(unsigned camera, const std::string& location) const {
  std::vector<FaultChoice> faults;
  for (const FaultChoice& fault : plan_.faults) {
    const bool aimed = fault.lineCamera != 0 ? fault.lineCamera == camera
                                             : fault.location.empty() || fault.location == location;
    if (aimed) faults.push_back(fault);
  }
  return faults;
}

std::uint64_t TakenAwayAfterMs(unsigned camera) {
  switch (camera % 10) {
    case 3:
    case 9:
      return kLookAtResultMs + 1000;
    case 6:
      return kLookAtResultMs + 2000;
    default:
      return kLookAtResultMs;
  }
}

void LineOperator::PlanAfterResult(Port& port, std::uint64_t now) {
  const std::uint64_t away = now + TakenAwayAfterMs(port.camera);
  switch (port.camera % 10) {
    case 3:
      port.steps = {{now + 500, Act::kRestart}, {away, Act::kUnplug}};
      break;
    case 6:
      port.steps = {{now + 500, Act::kPowerDown}, {now + 1500, Act::kPowerUp}, {away, Act::kUnplug}};
      break;
    case 9:
      // Back well within the slot's grace: the same camera, not burned again.
      port.steps = {{now + 500, Act::kUnplug}, {now + 800, Act::kPlugAgain}, {away, Act::kUnplug}};
      break;
    default:
      port.steps = {{away, Act::kUnplug}};
      break;
  }
}

void LineOperator::Do(Port& port, Act act, bool last, std::uint64_t now) {
  switch (act) {
    case Act::kUnplug:
      ports_.Unplug(port.location);
      break;
    case Act::kRestart:
      ports_.Restart(port.location);
      break;
    case Act::kPowerDown:
      ports_.PowerDown(port.location);
      break;
    case Act::kPowerUp:
      ports_.PowerUp(port.location);
      break;
    case Act::kPlugAgain:
      ports_.PlugIn(port.location, port.serial, {});
      break;
  }
  std::lock_guard lock(mutex_);
  if (!last) return;
  port.camera = 0;
  port.emptySinceMs = now;
  ++finished_;
}

std::uint64_t LineOperator::NextDue() const {
  std::uint64_t next = kNever;
  for (const Port& port : slots_) {
    for (const Step& step : port.steps) next = std::min(next, step.dueMs);
    if (port.camera != 0 && !port.resulted) next = std::min(next, port.pluggedMs + kGiveUpMs);
    if (port.camera == 0 && !stopped_ && plugged_ < plan_.cameras) next = std::min(next, port.emptySinceMs + plan_.emptyMs);
  }
  return next;
}

void LineOperator::Run() {
  for (;;) {
    const std::uint64_t now = time_.NowMs();
    struct Due {
      Port* port;
      Act act;
      bool last;
    };
    std::vector<Due> acts;
    std::vector<std::pair<Port*, unsigned>> plugs;
    std::uint64_t next = kNever;
    {
      std::lock_guard lock(mutex_);
      if (finished_ >= plan_.cameras || stopped_) return;
      changed_ = false;
      for (Port& port : slots_) {
        if (port.camera != 0 && !port.resulted && port.steps.empty() && now >= port.pluggedMs + kGiveUpMs) {
          port.resulted = true;
          port.steps = {{now, Act::kUnplug}};
        }
        while (!port.steps.empty() && port.steps.front().dueMs <= now) {
          const Act act = port.steps.front().act;
          port.steps.erase(port.steps.begin());
          acts.push_back(Due{&port, act, act == Act::kUnplug && port.steps.empty()});
        }
        if (port.camera == 0 && !stopped_ && plugged_ < plan_.cameras && now >= port.emptySinceMs + plan_.emptyMs) {
          port.camera = ++plugged_;
          port.serial = LineSerial(plan_.serialPrefix, port.camera);
          port.pluggedMs = now;
          port.ran = false;
          port.resulted = false;
          plugs.emplace_back(&port, port.camera);
        }
      }
    }
    for (const Due& due : acts) Do(*due.port, due.act, due.last, now);
    for (const auto& [port, camera] : plugs) {
      ports_.PlugIn(port->location, port->serial, FaultsFor(camera, port->location));
    }
    {
      std::lock_guard lock(mutex_);
      next = NextDue();
    }
    if (!acts.empty() || !plugs.empty()) continue;
    time_.WaitUntil(next, [this] {
      std::lock_guard lock(mutex_);
      return changed_ || stopped_;
    });
  }
}

void LineOperator::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  time_.Notify();
}

bool LineOperator::Done() {
  std::lock_guard lock(mutex_);
  return finished_ >= plan_.cameras;
}

void LineOperator::Seen(const SlotView& view) {
  const std::uint64_t now = time_.NowMs();
  std::lock_guard lock(mutex_);
  for (Port& port : slots_) {
    if (port.location != view.location || port.camera == 0 || port.resulted || view.serial != port.serial) continue;
    if (RunsIn(view.state)) port.ran = true;
    // A camera that passed before is shown as such without a run.
    const bool done = view.state == SlotState::kDoneBefore;
    const bool result = view.state == SlotState::kPassed || view.state == SlotState::kFailed;
    if (!(done || (port.ran && result))) continue;
    port.resulted = true;
    PlanAfterResult(port, now);
    changed_ = true;
  }
}

void LineOperator::OnSnapshot(const StationSnapshot& snapshot, std::uint64_t /*sequence*/) {
  for (const SlotView& view : snapshot.slots) Seen(view);
}

void LineOperator::OnEvent(const StationEvent& event) {
  if (event.kind != StationEvent::Kind::kSlot) return;
  Seen(event.slotView);
  time_.Notify();
}

}  // namespace bb::cli
