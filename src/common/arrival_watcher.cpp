#include "common/arrival_watcher.h"

namespace bb {

bool ArrivalWatcher::WatchArrival() {
  arrivalTaken_ = false;
  if (!Watching()) registration_ = watch_.Register();
  if (Watching()) return true;
  console_.AddLogLine("Cannot watch for the camera to come back !!!");
  return false;
}

bool ArrivalWatcher::TakeArrival(const DeviceArrival& arrival) {
  if (!arrival.cameraInterface || !Watching() || arrivalTaken_) return false;
  arrivalTaken_ = true;
  return true;
}

void ArrivalWatcher::StopWatchingArrival() {
  if (!Watching()) return;
  watch_.Unregister(registration_);
  registration_ = ArrivalWatch::kNone;
}

}  // namespace bb
