// Bulk-write throughput of the device transports: 64 KiB writes, the burn's
// chunk, through libusb into a camera emulated below libusb (umockdev carries
// every URB to the simulated camera's model in this process), beside the same
// writes into the simulated camera's own bus; and vendor requests through
// libusb as a run sends them, beside the same requests with the camera found,
// opened and claimed anew twice for each, as they went before a run held its
// camera. Run it under umockdev-wrapper.
#include <benchmark/benchmark.h>

#include <libusb.h>

#include <array>
#include <memory>
#include <vector>

#include "device/command_table.h"
#include "device/device_link.h"
#include "device/status_codes.h"
#include "platform/libusb/libusb_transport.h"
#include "platform/libusb/usb_camera_handle.h"
#include "platform/libusb/usb_camera_list.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "sim/fresh_camera.h"
#include "support/recording_prompts.h"
#include "sim/sim_bus.h"
#include "usb/emulated_camera.h"
#include "usb/usb_testbed.h"

namespace bb {
namespace {

constexpr std::size_t kChunk = 0x10000;

void WriteChunks(benchmark::State& state, DeviceTransport& transport, DeviceTransport::Handle pipe) {
  if (pipe == DeviceTransport::kInvalidHandle) {
    state.SkipWithError("the bulk-out pipe does not open");
    return;
  }
  const std::vector<std::uint8_t> chunk(kChunk, 0xA5);
  for (auto _ : state) {
    std::uint32_t done = 0;
    if (!transport.Write(pipe, chunk, done) || done != kChunk) {
      state.SkipWithError("a bulk write failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
  transport.Close(pipe);
}

void BM_BulkWriteThroughLibusb(benchmark::State& state) {
  if (!test::UsbTestbed::Available()) {
    state.SkipWithError("the emulated camera needs umockdev-wrapper");
    return;
  }
  test::UsbTestbed testbed;
  test::EmulatedCamera camera(testbed);
  camera.Plug();
  UsbContext context;
  LibusbTransport transport(context, {test::EmulatedCamera::kId});
  WriteChunks(state, transport, transport.Open(camera.InterfacePath() + "\\PIPE01"));
}
// Wall time: the emulated camera answers on umockdev's own thread.
BENCHMARK(BM_BulkWriteThroughLibusb)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Stage queries as a run sends them, each through the core's search for the
// camera and its request pipe, on the camera a run is bound to.
void BM_VendorRequestsThroughLibusb(benchmark::State& state) {
  if (!test::UsbTestbed::Available()) {
    state.SkipWithError("the emulated camera needs umockdev-wrapper");
    return;
  }
  test::UsbTestbed testbed;
  test::EmulatedCamera camera(testbed);
  sim::SetUpFreshCamera(camera.Model(), false);
  camera.Plug();
  UsbContext context;
  LibusbTransport transport(context, {test::EmulatedCamera::kId});
  VirtualClock clock;
  ManualTimerService timers(clock);
  test::RecordingPrompts prompts;
  DeviceLink link(transport, clock, timers, prompts);
  link.Binding().BeginRun();
  constexpr Command query = CommandTable::StageQuery;
  std::array<std::uint8_t, 5> reply{};
  for (auto _ : state) {
    if (link.VendorIn(query.bRequest, query.wValue, query.wIndex, query.wLength, reply) != kOk) {
      state.SkipWithError("a stage query failed");
      break;
    }
  }
  link.Binding().EndRun();
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_VendorRequestsThroughLibusb)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same stage queries as each went before: the search's look at the device
// list, then for the presence test and again for the request pipe a look of
// its own, an open and a claim, given back when that handle closed.
void BM_VendorRequestsClaimingEachTime(benchmark::State& state) {
  if (!test::UsbTestbed::Available()) {
    state.SkipWithError("the emulated camera needs umockdev-wrapper");
    return;
  }
  test::UsbTestbed testbed;
  test::EmulatedCamera camera(testbed);
  sim::SetUpFreshCamera(camera.Model(), false);
  camera.Plug();
  UsbContext context;
  const std::vector<UsbId> ids{test::EmulatedCamera::kId};
  constexpr Command query = CommandTable::StageQuery;
  std::array<std::uint8_t, 5> reply{};
  for (auto _ : state) {
    const UsbCameraList search(context.Get(), ids);
    std::unique_ptr<UsbCameraHandle> pipe;
    for (int open = 0; open < 2; ++open) {
      pipe.reset();
      const UsbCameraList cameras(context.Get(), ids);
      const UsbCameraEntry* entry = cameras.Find(camera.InterfacePath());
      UsbOpenFailure failure = UsbOpenFailure::kNone;
      if (entry != nullptr) pipe = UsbCameraHandle::Open(entry->device, failure);
    }
    const int moved = pipe == nullptr ? -1
                                      : libusb_control_transfer(pipe->Get(), 0xC0, query.bRequest, query.wValue,
                                                                query.wIndex, reply.data(), query.wLength, 5000);
    if (moved != query.wLength) {
      state.SkipWithError("a stage query failed");
      break;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_VendorRequestsClaimingEachTime)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_BulkWriteIntoTheSimulatedCamera(benchmark::State& state) {
  sim::SimBus bus;
  bus.Attach();
  WriteChunks(state, bus, bus.Open(bus.InterfacePath() + "\\PIPE01"));
}
BENCHMARK(BM_BulkWriteIntoTheSimulatedCamera)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace bb

BENCHMARK_MAIN();
