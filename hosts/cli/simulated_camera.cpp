#include <functional>
#include <map>
#include <optional>
#include <string>

#include "camera_worlds.h"
#include "sim/fresh_camera.h"
#include "sim/named_fault.h"
#include "sim/shared_bus.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"
#include "simulated_link.h"

namespace bb::cli {

namespace {

class SimulatedLink final : public CameraLink {
 public:
  explicit SimulatedLink(std::unique_ptr<sim::SharedBus::Connection> connection)
      : connection_(std::move(connection)) {}

  DeviceTransport& Transport() override { return connection_->Transport(); }
  ArrivalWatch& Arrivals() override { return connection_->Arrivals(); }
  void OnArrival(ArrivalHandler handler) override {
    connection_->Arrivals().SetAnnouncer(std::move(handler));
  }
  // A camera that restarted comes back once the program waits for it.
  bool Idle() override { return connection_->Idle(); }
  void DropAnnounced() override { connection_->DropArrivals(); }

 private:
  std::unique_ptr<sim::SharedBus::Connection> connection_;
};

// Fresh simulated cameras as they come out of the box: waiting for their
// parameters and core, with the sample firmware in their storage.
class SimulatedWorld final : public CameraWorld {
 public:
  // No transcript: nothing reads it, and a bus that keeps none lets the
  // cameras' transfers go by without holding it.
  SimulatedWorld(unsigned count, bool legacy) {
    bus_.KeepTranscript(false);
    for (unsigned i = 0; i < count; ++i) sim::SetUpFreshCamera(bus_.Attach(), legacy);
  }

  // A fault with a location goes to that camera alone; one without goes to
  // every camera, counted on each camera by itself. An absent camera goes
  // last, once the faults of its own state are set.
  bool Apply(const std::vector<FaultChoice>& faults, std::string& error) {
    for (const FaultChoice& choice : faults) {
      if (!choice.location.empty() && !CameraAt(choice.location)) {
        error = "no simulated camera at " + choice.location;
        return false;
      }
    }
    for (const bool absent : {false, true}) {
      for (const FaultChoice& choice : faults) {
        if ((choice.fault.kind == sim::NamedFault::Kind::kAbsent) != absent) continue;
        for (std::size_t i = 0; i < bus_.Cameras(); ++i) {
          if (!choice.location.empty() && choice.location != bus_.Location(i)) continue;
          names_[sim::InjectNamedFault(bus_, i, choice.fault)] = FiredName(choice, i);
        }
      }
    }
    return true;
  }

  // A serial number as given, for the camera at its location; none for an
  // empty one.
  bool SetSerials(const std::vector<SerialChoice>& serials, std::string& error) {
    for (const SerialChoice& choice : serials) {
      const std::optional<std::size_t> camera = CameraAt(choice.location);
      if (!camera) {
        error = "no simulated camera at " + choice.location;
        return false;
      }
      bus_.SetSerial(*camera, choice.serial.empty() ? std::nullopt : std::optional(choice.serial));
    }
    return true;
  }

  // Each fault that fires is named, on the thread of the call it hit.
  void TellFired(std::function<void(const std::string&)> tell) {
    bus_.SetFaultObserver([this, tell = std::move(tell)](sim::SimBus::FaultId fault) {
      tell("fault fired: " + names_.at(fault));
    });
  }

  std::unique_ptr<CameraLink> Connect(CameraTime passTime, Notes) override {
    return MakeSimulatedLink(shared_.Connect(std::move(passTime)));
  }

 private:
  std::optional<std::size_t> CameraAt(const std::string& location) const {
    for (std::size_t i = 0; i < bus_.Cameras(); ++i) {
      if (bus_.Location(i) == location) return i;
    }
    return std::nullopt;
  }

  // The fault as given; among several cameras one given for all is named with
  // the location of the camera it fired on, as it would be given for that
  // camera alone.
  std::string FiredName(const FaultChoice& choice, std::size_t camera) const {
    if (!choice.location.empty() || bus_.Cameras() == 1) return choice.name;
    return bus_.Location(camera) + ":" + choice.name;
  }

  sim::SimBus bus_;
  sim::SharedBus shared_{bus_};
  std::map<sim::SimBus::FaultId, std::string> names_;
};

class NoCamera final : public CameraLink {
 public:
  DeviceTransport& Transport() override { return bus_; }
  ArrivalWatch& Arrivals() override { return arrivals_; }
  void OnArrival(ArrivalHandler) override {}
  bool Idle() override { return false; }

 private:
  sim::SimBus bus_;
  sim::SimArrivalWatch arrivals_;
};

}  // namespace

std::unique_ptr<CameraLink> MakeSimulatedLink(std::unique_ptr<sim::SharedBus::Connection> connection) {
  return std::make_unique<SimulatedLink>(std::move(connection));
}

std::unique_ptr<CameraLink> MakeNoCamera() { return std::make_unique<NoCamera>(); }

std::unique_ptr<CameraWorld> MakeSimulatedWorld(unsigned count, const std::vector<FaultChoice>& faults,
                                                const std::vector<SerialChoice>& serials, bool legacy,
                                                std::function<void(const std::string&)> tellFired,
                                                std::string& error) {
  auto world = std::make_unique<SimulatedWorld>(count, legacy);
  if (!world->Apply(faults, error) || !world->SetSerials(serials, error)) return nullptr;
  world->TellFired(std::move(tellFired));
  return world;
}

}  // namespace bb::cli
