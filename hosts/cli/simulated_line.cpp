#include "simulated_line.h"

#include <utility>

#include "simulated_link.h"
#include "sim/named_fault.h"

namespace bb::cli {

SimulatedLineWorld::SimulatedLineWorld(unsigned ports, std::function<void(const std::string&)> tellFired)
    : tellFired_(std::move(tellFired)) {
  bus_.KeepTranscript(false);
  for (unsigned i = 0; i < ports; ++i) bus_.AddEmptyPort();
  bus_.SetFaultObserver([this](sim::SimBus::FaultId fault) {
    std::string name;
    {
      const std::lock_guard lock(namesMutex_);
      const auto found = names_.find(fault);
      if (found == names_.end()) return;
      name = found->second;
      fired_.push_back(name);
    }
    if (tellFired_) tellFired_("fault fired: " + name);
  });
}

std::optional<std::size_t> SimulatedLineWorld::PortAt(const std::string& location) const {
  for (std::size_t i = 0; i < bus_.Cameras(); ++i) {
    if (bus_.Location(i) == location) return i;
  }
  return std::nullopt;
}

std::vector<std::string> SimulatedLineWorld::Locations() const {
  std::vector<std::string> locations;
  for (std::size_t i = 0; i < bus_.Cameras(); ++i) locations.push_back(bus_.Location(i));
  return locations;
}

bool SimulatedLineWorld::PlugIn(const std::string& location, std::optional<std::string> serial,
                                const std::vector<FaultChoice>& faults, std::string& error) {
  const std::optional<std::size_t> port = PortAt(location);
  if (!port) {
    error = "no port at " + location;
    return false;
  }
  for (const FaultChoice& choice : faults) {
    if (choice.fault.kind == sim::NamedFault::Kind::kAbsent) {
      error = "a camera plugged in cannot be absent: " + choice.name;
      return false;
    }
  }
  const bool arrived = bus_.PlugIn(*port, std::move(serial), [&] {
    for (const FaultChoice& choice : faults) {
      const sim::SimBus::FaultId id = sim::InjectNamedFault(bus_, *port, choice.fault);
      const std::lock_guard lock(namesMutex_);
      names_[id] = choice.name;
    }
  });
  if (!arrived) error = "the port at " + location + " holds a camera";
  return arrived;
}

bool SimulatedLineWorld::Unplug(const std::string& location) {
  const std::optional<std::size_t> port = PortAt(location);
  return port && bus_.Unplug(*port);
}

bool SimulatedLineWorld::PowerDown(const std::string& location) {
  const std::optional<std::size_t> port = PortAt(location);
  return port && bus_.PowerDown(*port);
}

bool SimulatedLineWorld::PowerUp(const std::string& location) {
  const std::optional<std::size_t> port = PortAt(location);
  return port && bus_.PowerUp(*port);
}

bool SimulatedLineWorld::Restart(const std::string& location) {
  const std::optional<std::size_t> port = PortAt(location);
  return port && bus_.Restart(*port);
}

std::vector<std::string> SimulatedLineWorld::FiredFaults() const {
  const std::lock_guard lock(namesMutex_);
  return fired_;
}

std::unique_ptr<CameraLink> SimulatedLineWorld::Connect(CameraTime passTime, Notes) {
  return MakeSimulatedLink(shared_.Connect(std::move(passTime)));
}

}  // namespace bb::cli
