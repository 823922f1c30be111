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
  using Announcer = std::function<void(const DeviceArrival&)>;

  Registration Register() override;
  void Unregister(Registration registration) override;

  void SetAnnouncer(Announcer announcer) { announcer_ = std::move(announcer); }
  // A device has appeared. A camera interface is announced only while a
  // registration is held, as the registration asks for the camera's class;
  // anything else (a volume, a port) reaches the window regardless, as the
  // platform tells every top-level window of those.
  void Announce(const DeviceArrival& arrival);

  bool Held() const { return !held_.empty(); }
  int RegistrationsMade() const { return made_; }
  bool failRegistration = false;

 private:
  std::set<Registration> held_;
  Registration next_ = 0;
  int made_ = 0;
  Announcer announcer_;
};

}  // namespace bb::sim
