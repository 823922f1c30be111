#include "camera_link.h"
#include "sim/fresh_camera.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"

namespace bb::cli {

namespace {

// A fresh simulated camera, with the demonstration's faults.
class SimulatedCamera final : public CameraLink {
 public:
  SimulatedCamera(DemoFault fault, bool legacy, std::function<void(std::uint32_t)> passTime) {
    bus_.SetArrivalHandler([this](const DeviceArrival& arrival) { arrivals_.Announce(arrival); });
    bus_.SetTimePassage(std::move(passTime));
    if (fault == DemoFault::kAbsent) return;
    sim::SimCamera& camera = bus_.Attach();
    sim::SetUpFreshCamera(camera, legacy);
    camera.busy = fault == DemoFault::kBusy;
    camera.storagePresent = fault != DemoFault::kNoStorage;
    if (fault == DemoFault::kWriteTimeout) camera.storageWritePolls = 0xFFFFFFFFu;
    camera.corruptStorageWrites = fault == DemoFault::kVerifyMismatch;
    // The first bulk read outlasts the watchdog's five seconds.
    if (fault == DemoFault::kStalledRead) bus_.StallRead(1, 6000);
    bus_.NeverReturn(fault == DemoFault::kNoReturn);
  }

  DeviceTransport& Transport() override { return bus_; }
  ArrivalWatch& Arrivals() override { return arrivals_; }
  void OnArrival(ArrivalHandler handler) override { arrivals_.SetAnnouncer(std::move(handler)); }
  // A camera that restarted comes back once the program waits for it.
  bool Idle() override { return bus_.ReturnCameras(); }

 private:
  sim::SimBus bus_;
  sim::SimArrivalWatch arrivals_;
};

}  // namespace

std::unique_ptr<CameraLink> MakeSimulatedCamera(DemoFault fault, bool legacy,
                                                std::function<void(std::uint32_t)> passTime) {
  return std::make_unique<SimulatedCamera>(fault, legacy, std::move(passTime));
}

}  // namespace bb::cli
