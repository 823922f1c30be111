#include "camera_link.h"
#include "sim/fresh_camera.h"
#include "sim/shared_bus.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"

namespace bb::cli {

namespace {

void ApplyFault(sim::SimBus& bus, std::size_t index, DemoFault fault) {
  sim::SimCamera& camera = bus.Camera(index);
  switch (fault) {
    case DemoFault::kAbsent:
      bus.Unplug(index);
      break;
    case DemoFault::kBusy:
      camera.busy = true;
      break;
    case DemoFault::kNoStorage:
      camera.storagePresent = false;
      break;
    case DemoFault::kWriteTimeout:
      camera.storageWritePolls = 0xFFFFFFFFu;
      break;
    case DemoFault::kVerifyMismatch:
      camera.corruptStorageWrites = true;
      break;
    case DemoFault::kNoReturn:
      bus.NeverReturn(index);
      break;
    case DemoFault::kStalledRead:
      // Outlasts the watchdog's five seconds.
      bus.StallFirstRead(index, 6000);
      break;
    case DemoFault::kNone:
      break;
  }
}

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

 private:
  std::unique_ptr<sim::SharedBus::Connection> connection_;
};

// Fresh simulated cameras as they come out of the box: waiting for their
// parameters and core, with the sample firmware in their storage.
class SimulatedWorld final : public CameraWorld {
 public:
  SimulatedWorld(unsigned count, bool legacy) {
    for (unsigned i = 0; i < count; ++i) sim::SetUpFreshCamera(bus_.Attach(), legacy);
  }

  bool Apply(const FaultChoice& choice, std::string& error) {
    for (std::size_t i = 0; i < bus_.Cameras(); ++i) {
      if (choice.location.empty() || choice.location == bus_.Location(i)) {
        ApplyFault(bus_, i, choice.fault);
        if (!choice.location.empty()) return true;
      }
    }
    if (choice.location.empty()) return true;
    error = "no simulated camera at " + choice.location;
    return false;
  }

  std::unique_ptr<CameraLink> Connect(CameraTime passTime) override {
    return std::make_unique<SimulatedLink>(shared_.Connect(std::move(passTime)));
  }

 private:
  sim::SimBus bus_;
  sim::SharedBus shared_{bus_};
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

std::unique_ptr<CameraLink> MakeNoCamera() { return std::make_unique<NoCamera>(); }

std::unique_ptr<CameraWorld> MakeSimulatedWorld(unsigned count, const std::vector<FaultChoice>& faults,
                                                bool legacy, std::string& error) {
  auto world = std::make_unique<SimulatedWorld>(count, legacy);
  for (const FaultChoice& choice : faults) {
    if (!world->Apply(choice, error)) return nullptr;
  }
  return world;
}

}  // namespace bb::cli
