#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "station/station_view.h"

namespace bb {

// Told what the station shows: first all of it, then each change in order.
// Called with the feed held, from whichever thread made the change: quick,
// and never back into the feed.
class StationListener {
 public:
  virtual ~StationListener() = default;
  // Everything as it stands after the change numbered `sequence`.
  virtual void OnSnapshot(const StationSnapshot& snapshot, std::uint64_t sequence) = 0;
  virtual void OnEvent(const StationEvent& event) = 0;
};

// The station's changes, as events for every view: the terminal board, the
// plain lines, the page, tests.
class StationFeed {
 public:
  void Subscribe(StationListener& listener);
  // Returns once the listener is not being called.
  void Unsubscribe(StationListener& listener);
  StationSnapshot Snapshot();

  // The station's side. A slot numbered one past the last is a new slot.
  void SetSlot(std::size_t index, const SlotView& view);
  void SetStrays(const std::vector<StrayCamera>& strays);
  void SetHeader(const StationHeader& header);
  void AddRunEnded(const RunEnded& run);
  // The line's forwarder's side.
  void SetLine(const LineView& line);

 private:
  void Publish(StationEvent& event);

  std::mutex mutex_;
  StationSnapshot snapshot_;
  std::uint64_t sequence_ = 0;
  std::vector<StationListener*> listeners_;
};

}  // namespace bb
