#include "camera_side.h"

#include <dbt.h>

#include <vector>

#include "platform/win32/win_arrival_watch.h"
#include "sim/sample_image.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"
#include "sim/sim_raw_image.h"

namespace bb::win {

namespace {

// A simulated camera as one comes out of the box: waiting for its parameters
// and core, with the sample firmware in its storage. After a restart it stays
// off the bus for a while once the message loop has gone idle, as a real camera
// takes its time to re-enumerate, and its return reaches the window the way
// Windows would deliver it.
class DemoCameraSide final : public CameraSide {
 public:
  explicit DemoCameraSide(HWND window) : window_(window) {
    sim::SimCamera& camera = bus_.Attach();
    camera.stage = 0;
    camera.storage[0] = sim::EncodeBrnFile(sim::SampleImageContent(), 0x100);
    // Each poll of the storage write waits 5 s; one is enough to show it.
    camera.storageWritePolls = 0;
    bus_.SetArrivalHandler([this](const DeviceArrival& arrival) { arrivals_.Announce(arrival); });
    // The camera returns from a timer on the window's thread, so the window's
    // own handler can take the arrival at once, with the record Windows would
    // hand over. (Windows refuses to post an arrival: it carries a pointer.)
    arrivals_.SetAnnouncer([window](const DeviceArrival& arrival) {
      std::vector<DWORD> record = CameraArrivalRecord(arrival.interfacePath);
      SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                   reinterpret_cast<LPARAM>(record.data()));
    });
  }
  ~DemoCameraSide() override {
    if (returning_) KillTimer(window_, TimerId());
  }
  DemoCameraSide(const DemoCameraSide&) = delete;
  DemoCameraSide& operator=(const DemoCameraSide&) = delete;

  DeviceTransport& Transport() override { return bus_; }
  ArrivalWatch& Arrivals() override { return arrivals_; }
  void OnIdle() override {
    if (returning_ || bus_.Present()) return;
    returning_ = SetTimer(window_, TimerId(), kReEnumerationMs, ReturnCamera) != 0;
  }

 private:
  static constexpr UINT kReEnumerationMs = 1500;

  UINT_PTR TimerId() const { return reinterpret_cast<UINT_PTR>(this); }

  static void CALLBACK ReturnCamera(HWND window, UINT, UINT_PTR id, DWORD) {
    auto* side = reinterpret_cast<DemoCameraSide*>(id);
    KillTimer(window, id);
    side->returning_ = false;
    side->bus_.ReturnCameras();
  }

  HWND window_;
  sim::SimBus bus_;
  sim::SimArrivalWatch arrivals_;
  bool returning_ = false;
};

}  // namespace

std::unique_ptr<CameraSide> MakeCameraSide(HWND window) {
  return std::make_unique<DemoCameraSide>(window);
}

}  // namespace bb::win
