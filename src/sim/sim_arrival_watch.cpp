#include "sim/sim_arrival_watch.h"

namespace bb::sim {

ArrivalWatch::Registration SimArrivalWatch::Register() {
  if (failRegistration) return kNone;
  ++made_;
  held_.insert(++next_);
  return next_;
}

void SimArrivalWatch::Unregister(Registration registration) { held_.erase(registration); }

void SimArrivalWatch::CameraArrived(int times) {
  if (held_.empty() || !announcer_) return;
  for (int i = 0; i < times; ++i) announcer_();
}

}  // namespace bb::sim
