// The tool's own cost of a burn of a large firmware against the simulated
// camera. The clock is virtual, so the waits the camera's pacing requires cost
// no real time; they are reported apart as a counter.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "app/arrival_watcher.h"
#include "app/platform.h"
#include "app/window_state.h"
#include "burn/burn_procedure.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"

namespace bb {
namespace {

// Nothing in a burn after the job is loaded reads the configuration file,
// shows a box or touches a control; these answer as an idle window would.
class QuietConsole final : public Console {
 public:
  void AddLogLine(std::string_view) override {}
  void ClearLog() override {}
  void SetStatusText(std::string_view) override {}
  void SetCaption(std::string_view) override {}
  void RepaintNow() override {}
};
class NoControls final : public Controls {
 public:
  bool IsChecked(int) override { return false; }
  void SetChecked(int, bool) override {}
  bool IsEnabled(int) override { return true; }
  void SetEnabled(int, bool) override {}
};
class NoPrompts final : public Prompts {
 public:
  BoxAnswer ShowMessageBox(const MessageBoxRequest&) override { return BoxAnswer::kOkPressed; }
  bool SelectJobFiles(JobFileChoice&) override { return false; }
  std::string ChooseFolder(const std::string&) override { return {}; }
  std::optional<std::string> ChooseOpenFile(const OpenFileRequest&) override { return std::nullopt; }
};
class NoProfile final : public Profile {
 public:
  std::int32_t ReadInt(const std::string&, std::string_view, std::string_view, std::int32_t value) override {
    return value;
  }
  std::string ReadString(const std::string&, std::string_view, std::string_view, std::string_view value,
                         std::size_t) override {
    return std::string(value);
  }
  bool WriteString(const std::string&, std::string_view, std::string_view, std::string_view) override {
    return false;
  }
};

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
    QuietConsole console;
    NoControls controls;
    NoPrompts prompts;
    FifoStepQueue steps;
    NoProfile profile;
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
