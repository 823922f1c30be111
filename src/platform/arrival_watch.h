#pragma once

#include <cstdint>

namespace bb {

// Interest in arrivals of camera interfaces. While a registration is held, the
// platform announces each new interface of the camera's class to the host, which
// hands it to the sequencer's OnDeviceChange. Other devices (volumes, ports) may
// be announced whether a registration is held or not. User-interface thread only.
class ArrivalWatch {
 public:
  using Registration = std::intptr_t;
  static constexpr Registration kNone = 0;

  virtual ~ArrivalWatch() = default;
  // Returns kNone when the registration fails.
  virtual Registration Register() = 0;
  virtual void Unregister(Registration registration) = 0;
};

}  // namespace bb
