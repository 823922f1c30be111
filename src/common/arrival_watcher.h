#pragma once

#include "platform/arrival_watch.h"
#include "platform/console.h"

namespace bb {

// The main window's one registration for camera arrivals.
class ArrivalWatcher {
 public:
  ArrivalWatcher(ArrivalWatch& watch, Console& console) : watch_(watch), console_(console) {}
  ~ArrivalWatcher() { StopWatchingArrival(); }
  ArrivalWatcher(const ArrivalWatcher&) = delete;
  ArrivalWatcher& operator=(const ArrivalWatcher&) = delete;

  // Registers unless a registration is held; either way the next arrival
  // counts again. False, with a log line, when no registration can be held:
  // the run would otherwise wait for a return it is never told of.
  bool WatchArrival();
  void StopWatchingArrival();
  bool Watching() const { return registration_ != ArrivalWatch::kNone; }

  // True for the first arrival of a camera interface while watching. A drive
  // or port plugged in must not start a storage write before the camera is
  // back, and a driver that announces one return twice must not start two.
  bool TakeArrival(const DeviceArrival& arrival);

 private:
  ArrivalWatch& watch_;
  Console& console_;
  ArrivalWatch::Registration registration_ = ArrivalWatch::kNone;
  bool arrivalTaken_ = false;
};

}  // namespace bb
