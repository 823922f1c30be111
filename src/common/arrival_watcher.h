#pragma once

#include "platform/arrival_watch.h"

namespace bb {

// The main window's one registration for camera arrivals.
class ArrivalWatcher {
 public:
  explicit ArrivalWatcher(ArrivalWatch& watch) : watch_(watch) {}
  ~ArrivalWatcher() { StopWatchingArrival(); }
  ArrivalWatcher(const ArrivalWatcher&) = delete;
  ArrivalWatcher& operator=(const ArrivalWatcher&) = delete;

  // Registers unless a registration is held; a failed registration holds none
  // and is not reported. Either way the next arrival counts again.
  void WatchArrival();
  void StopWatchingArrival();
  bool Watching() const { return registration_ != ArrivalWatch::kNone; }

  // True for the first arrival while watching. A drive or port plugged in while
  // nothing waits must not start a storage write, and a driver that announces
  // one return twice must not start two.
  bool TakeArrival();

 private:
  ArrivalWatch& watch_;
  ArrivalWatch::Registration registration_ = ArrivalWatch::kNone;
  bool arrivalTaken_ = false;
};

}  // namespace bb
