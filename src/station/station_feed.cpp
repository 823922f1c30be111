#include "station/station_feed.h"

#include <algorithm>

namespace bb {

void StationFeed::Subscribe(StationListener& listener) {
  std::lock_guard lock(mutex_);
  listener.OnSnapshot(snapshot_, sequence_);
  listeners_.push_back(&listener);
}

void StationFeed::Unsubscribe(StationListener& listener) {
  std::lock_guard lock(mutex_);
  std::erase(listeners_, &listener);
}

StationSnapshot StationFeed::Snapshot() {
  std::lock_guard lock(mutex_);
  return snapshot_;
}

void StationFeed::Publish(StationEvent& event) {
  event.sequence = ++sequence_;
  ApplyEvent(snapshot_, event);
  for (StationListener* listener : listeners_) listener->OnEvent(event);
}

void StationFeed::SetSlot(std::size_t index, const SlotView& view) {
  std::lock_guard lock(mutex_);
  StationEvent event;
  event.kind = StationEvent::Kind::kSlot;
  event.slot = index;
  event.slotView = view;
  Publish(event);
}

void StationFeed::SetStrays(const std::vector<StrayCamera>& strays) {
  std::lock_guard lock(mutex_);
  StationEvent event;
  event.kind = StationEvent::Kind::kStrays;
  event.strays = strays;
  Publish(event);
}

void StationFeed::SetHeader(const StationHeader& header) {
  std::lock_guard lock(mutex_);
  StationEvent event;
  event.kind = StationEvent::Kind::kHeader;
  event.header = header;
  Publish(event);
}

void StationFeed::AddRunEnded(const RunEnded& run) {
  std::lock_guard lock(mutex_);
  StationEvent event;
  event.kind = StationEvent::Kind::kRunEnded;
  event.run = run;
  Publish(event);
}

void StationFeed::SetLine(const LineView& line) {
  std::lock_guard lock(mutex_);
  StationEvent event;
  event.kind = StationEvent::Kind::kLine;
  event.line = line;
  Publish(event);
}

}  // namespace bb
