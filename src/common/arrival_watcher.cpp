#include "common/arrival_watcher.h"

namespace bb {

void ArrivalWatcher::WatchArrival() {
  arrivalTaken_ = false;
  if (Watching()) return;
  registration_ = watch_.Register();
}

bool ArrivalWatcher::TakeArrival() {
  if (!Watching() || arrivalTaken_) return false;
  arrivalTaken_ = true;
  return true;
}

void ArrivalWatcher::StopWatchingArrival() {
  if (!Watching()) return;
  watch_.Unregister(registration_);
  registration_ = ArrivalWatch::kNone;
}

}  // namespace bb
