#pragma once

#include <cstdint>
#include <string>

namespace bb {

// What the platform tells about one device arrival. It announces other
// devices too (volumes, ports) to every top-level window, so an arrival says
// what it is; only a camera interface may count as the camera's return.
struct DeviceArrival {
  // A device interface of the camera's class.
  bool cameraInterface = false;
  // That interface's path where the platform names it; empty otherwise.
  std::string interfacePath;
};

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
