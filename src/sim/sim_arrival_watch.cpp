#include "sim/sim_arrival_watch.h"

namespace bb::sim {

ArrivalWatch::Registration SimArrivalWatch::Register() {
  if (failRegistration) return kNone;
  ++made_;
  held_.insert(++next_);
  return next_;
}

void SimArrivalWatch::Unregister(Registration registration) { held_.erase(registration); }

void SimArrivalWatch::Announce(const DeviceArrival& arrival) {
  if (!announcer_ || (arrival.cameraInterface && held_.empty())) return;
  announcer_(arrival);
}

}  // namespace bb::sim
