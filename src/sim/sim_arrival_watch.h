#pragma once

#include <functional>
#include <set>

#include "platform/arrival_watch.h"

namespace bb::sim {

// Arrival notifications of the simulated camera. While a registration is held,
// a camera coming back is announced through the announcer, which the host wires
// to its queue of device-change events.
class SimArrivalWatch final : public ArrivalWatch {
 public:
  Registration Register() override;
  void Unregister(Registration registration) override;

  void SetAnnouncer(std::function<void()> announcer) { announcer_ = std::move(announcer); }
  // The camera's interface has (re)appeared; `times` notifications, as a driver
  // that reports one arrival more than once would.
  void CameraArrived(int times = 1);

  bool Held() const { return !held_.empty(); }
  int RegistrationsMade() const { return made_; }
  bool failRegistration = false;

 private:
  std::set<Registration> held_;
  Registration next_ = 0;
  int made_ = 0;
  std::function<void()> announcer_;
};

}  // namespace bb::sim
