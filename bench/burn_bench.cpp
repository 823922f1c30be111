// The tool's own cost of a burn of a large firmware against the simulated
// camera. The clock is virtual, so the waits the camera's pacing requires cost
// no real time; they are reported apart as a counter.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "common/arrival_watcher.h"
#include "common/platform.h"
#include "common/window_state.h"
#include "burn/burn_procedure.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/std/ini_profile.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"
#include "support/recording_console.h"
#include "support/recording_controls.h"
#include "support/recording_prompts.h"

namespace bb {
namespace {

std::string WriteFirmwareFile(std::size_t size) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "burnbench-bench-fw.bin";
  std::vector<char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  return path.string();
}

void BM_BurnFirmware(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0)) << 20;
  const std::string firmware = WriteFirmwareFile(size);
  std::uint64_t pacedMs = 0;
  for (auto _ : state) {
    VirtualClock clock;
    ManualTimerService timers(clock);
    sim::SimBus bus;
    sim::SimArrivalWatch arrivals;
    test::RecordingConsole console;
    test::RecordingControls controls;
    test::RecordingPrompts prompts;
    FifoStepQueue steps;
    IniProfile profile;
    Platform platform{bus, clock, timers, console, controls, prompts, steps, arrivals, profile};
    Context context;
    context.controllerCode = 10;
    context.transfer = TransferSettings{256, 0x10000};
    WindowState window;
    window.job.FwFile = firmware;
    window.job.DramAddress = 0x300000;
    DeviceLink link(bus, clock, timers, prompts);
    DeviceCommands commands(link, console, context);
    ArrivalWatcher watcher(arrivals);
    BurnProcedure burn(platform, context, window, link, commands, watcher);
    bus.Attach().stage = 1;
    bus.Camera().storageWritePolls = 0;

    if (burn.WriteFirmware(&window.job) != 0 || !bus.ReturnCameras() ||
        burn.FinishBurn(&window.job) != 0) {
      state.SkipWithError("the burn failed");
      break;
    }
    pacedMs = clock.SleptMs();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["paced_wait_ms"] = static_cast<double>(pacedMs);
  state.counters["tool_ms_per_MiB"] = benchmark::Counter(
      static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
  std::filesystem::remove(firmware);
}

BENCHMARK(BM_BurnFirmware)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bb

BENCHMARK_MAIN();
