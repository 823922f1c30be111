#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "platform/camera_link.h"
#include "sim/shared_bus.h"
#include "sim/sim_bus.h"

namespace bb::cli {

// Simulated cameras that an operator plugs into a row of ports one after
// another, while sessions on other threads burn the cameras at the other
// ports. Every port exists from the start, empty, at locations "1" to "N".
// Each camera unplugged is freed, with the faults aimed at it; no transcript
// of the calls is kept, so that a long line costs no more memory than a short
// one. Every method may be called on any thread while sessions run.
class SimulatedLineWorld final : public CameraWorld {
 public:
  // Each fault that fires is told, as a line "fault fired: NAME", to
  // `tellFired`, on the thread of the call it hit.
  SimulatedLineWorld(unsigned ports, std::function<void(const std::string&)> tellFired);

  // A fresh camera (waiting for its parameters and core, the sample firmware
  // in its storage) at the empty port at `location`, with this USB serial
  // number (nullopt: none), announced to every link. `faults` are aimed at
  // this camera alone, each counting its own calls from its arrival, and each
  // named by its `name` when it fires (its `location` is not looked at);
  // `absent` cannot be. False, with the reason in `error`, when the location
  // is no port or its port holds a camera.
  bool PlugIn(const std::string& location, std::optional<std::string> serial,
              const std::vector<FaultChoice>& faults, std::string& error);
  // The camera taken away; a call to it fails from now on. False when the
  // location holds none.
  bool Unplug(const std::string& location);
  // The same camera off the bus and back on, with its serial number and its
  // storage, booted afresh and announced. False when the location holds no
  // camera (PowerUp: none that is off the bus).
  bool PowerDown(const std::string& location);
  bool PowerUp(const std::string& location);
  // The camera re-enumerates by itself, as one that restarts after its burn:
  // it leaves and comes back, with its serial number, the next time a link
  // goes idle. False when the location holds no camera on the bus.
  bool Restart(const std::string& location);

  // The ports' locations, in order.
  std::vector<std::string> Locations() const;
  // Camera models not yet freed: those plugged in, and any that a call still
  // uses.
  std::size_t LiveCameras() const { return bus_.LiveCameras(); }
  // The names of the faults that fired, in the order they fired.
  std::vector<std::string> FiredFaults() const;

  // Each link is its own session's; a camera's arrival reaches every link.
  std::unique_ptr<CameraLink> Connect(CameraTime passTime, Notes notes) override;

 private:
  std::optional<std::size_t> PortAt(const std::string& location) const;

  sim::SimBus bus_;
  sim::SharedBus shared_{bus_};
  std::function<void(const std::string&)> tellFired_;
  // The faults' names, filled as each is injected, before its camera
  // arrives: a call on any thread may fire it from then on.
  mutable std::mutex namesMutex_;
  std::map<sim::SimBus::FaultId, std::string> names_;
  std::vector<std::string> fired_;
};

}  // namespace bb::cli
