// The tool's own cost of a burn of a large firmware against the simulated
// camera. The clock is virtual, so the waits the camera's pacing requires cost
// no real time; they are reported apart as a counter.
//
// BM_BurnFirmware runs the full camera model, which keeps a copy of every byte
// it receives. BM_BurnToCountingCamera measures the tool apart from the camera:
// the camera's bulk sink only counts the bytes and sums them (so they are still
// proven right), its own time is taken out, and the peak memory that the burn
// adds to the process is reported. BM_ReadBackIntoFile reports what a read-back
// of a large image adds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "bench_support.h"

#include "common/arrival_watcher.h"
#include "common/platform.h"
#include "common/window_state.h"
#include "burn/burn_procedure.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "platform/forwarding_transport.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/record/recording_transport.h"
#include "platform/record/request_view.h"
#include "platform/record/recording_writer.h"
#include "platform/std/ini_profile.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "readback/read_back.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"
#include "support/recording_console.h"
#include "util/byte_order.h"
#include "support/recording_controls.h"
#include "support/recording_prompts.h"

namespace bb {
namespace {

using bench::Checksum;
using bench::FirmwareByte;
using bench::ResetPeak;
using bench::StatusKiB;
using bench::ThreadCpuMs;

constexpr std::uint32_t kBlockUnit = 256;

std::string WriteFirmwareFile(std::size_t size) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "burnbench-bench-fw.bin";
  bench::WriteFirmwareFile(path, size);
  return path.string();
}

Checksum ExpectedChecksum(std::size_t size) {
  Checksum expected;
  bench::AddFirmware(expected, size, kBlockUnit);
  return expected;
}

// One burn of the job's firmware: header, bulk write, re-enumeration, storage
// write; with `record`, every call of it recorded as --record does.
class BurnRig {
 public:
  explicit BurnRig(const std::string& firmware, bool record = false)
      : transport(record ? static_cast<DeviceTransport&>(recorded) : bus) {
    context.controllerCode = 10;
    context.transfer = TransferSettings{kBlockUnit, 0x10000};
    window.job.FwFile = firmware;
    window.job.DramAddress = 0x300000;
    bus.Attach().stage = 1;
    bus.Camera().storageWritePolls = 0;
  }
  bool Burn() {
    return burn.WriteFirmware(&window.job) == 0 && bus.ReturnCameras() &&
           burn.FinishBurn(&window.job) == 0;
  }

  VirtualClock clock;
  ManualTimerService timers{clock};
  sim::SimBus bus;
  record::RecordingWriter writer;
  record::RecordingTransport recorded{bus, writer, [this] { return clock.NowMs() * 1000; }};
  DeviceTransport& transport;
  sim::SimArrivalWatch arrivals;
  test::RecordingConsole console;
  test::RecordingControls controls;
  test::RecordingPrompts prompts;
  FifoStepQueue steps;
  IniProfile profile;
  Platform platform{transport, clock, timers, console, controls, prompts, steps, arrivals, profile};
  Context context;
  WindowState window;
  DeviceLink link{transport, clock, timers, prompts};
  DeviceCommands commands{link, console, context};
  ArrivalWatcher watcher{arrivals, console};
  BurnProcedure burn{platform, context, window, link, commands, watcher};
};

void BM_BurnFirmware(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0)) << 20;
  const std::string firmware = WriteFirmwareFile(size);
  std::uint64_t pacedMs = 0;
  for (auto _ : state) {
    BurnRig rig(firmware);
    if (!rig.Burn()) {
      state.SkipWithError("the burn failed");
      break;
    }
    pacedMs = rig.clock.SleptMs();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["paced_wait_ms"] = static_cast<double>(pacedMs);
  state.counters["tool_ms_per_MiB"] = benchmark::Counter(
      static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
  std::filesystem::remove(firmware);
}

void BM_BurnToCountingCamera(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0)) << 20;
  const std::string firmware = WriteFirmwareFile(size);
  const Checksum expected = ExpectedChecksum(size);
  double peakMiB = 0;
  double cameraMs = 0;
  for (auto _ : state) {
    BurnRig rig(firmware);
    Checksum received;
    double inCamera = 0;
    rig.bus.Camera().bulkSink = [&](std::span<const std::uint8_t> bytes) {
      const double start = ThreadCpuMs();
      received.Add(bytes);
      inCamera += ThreadCpuMs() - start;
    };
    const std::uint64_t before = StatusKiB("VmRSS");
    ResetPeak();
    const double start = ThreadCpuMs();
    const bool burned = rig.Burn();
    const double whole = ThreadCpuMs() - start;
    const std::uint64_t peak = StatusKiB("VmHWM");
    if (!burned || received.sum != expected.sum || received.count != expected.count) {
      state.SkipWithError(burned ? "the camera received other bytes" : "the burn failed");
      break;
    }
    state.SetIterationTime((whole - inCamera) / 1e3);
    cameraMs = inCamera;
    peakMiB = std::max(peakMiB, static_cast<double>(peak > before ? peak - before : 0) / 1024.0);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["camera_ms"] = cameraMs;
  state.counters["peak_added_MiB"] = peakMiB;
  state.counters["tool_ms_per_MiB"] = benchmark::Counter(
      static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
  std::filesystem::remove(firmware);
}

// The same burn recorded into a file: what the recording costs the tool (the
// SHA-256 of every bulk write, a record of every call) and how large it is.
void BM_BurnRecorded(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0)) << 20;
  const std::string firmware = WriteFirmwareFile(size);
  const std::string recording = firmware + ".bbrec";
  std::uintmax_t recordingBytes = 0;
  for (auto _ : state) {
    BurnRig rig(firmware, true);
    rig.bus.Camera().bulkSink = [](std::span<const std::uint8_t>) {};
    record::RecordingHeader header;
    header.commands = {{"burn"}};
    const double start = ThreadCpuMs();
    const bool burned = rig.writer.Open(recording, header, 0) && rig.Burn() && rig.writer.Close(0);
    state.SetIterationTime((ThreadCpuMs() - start) / 1e3);
    if (!burned) {
      state.SkipWithError("the recorded burn failed");
      break;
    }
    recordingBytes = std::filesystem::file_size(recording);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["recording_KiB"] = static_cast<double>(recordingBytes) / 1024.0;
  state.counters["tool_ms_per_MiB"] = benchmark::Counter(
      static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
  std::filesystem::remove(firmware);
  std::filesystem::remove(recording);
}

// A camera for the read-back that keeps no image: it announces `size` bytes
// and makes each piece as it is read, so that the memory measured is the
// tool's. Every other call goes to the simulated camera.
class GeneratingCamera final : public ForwardingTransport {
 public:
  GeneratingCamera(DeviceTransport& inner, std::uint32_t size) : ForwardingTransport(inner), size_(size) {}

  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override {
    const record::RequestView request = record::ViewRequest(block);
    if (request.block.size() == 20 && request.block[0] == 0x79 && request.Stage().size() == 8) {
      PutLe32(request.Stage(), 0, size_);
      PutLe32(request.Stage(), 4, 0x800000);
      return true;
    }
    // The read request: the pieces are made as they are read.
    if (request.block.size() == 20 && request.block[0] == 0xFD && GetLe16(request.block, 4) == 0x04F2) {
      return true;
    }
    return inner_.IoControl(handle, code, block);
  }
  bool Read(Handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override {
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = FirmwareByte(at_ + i);
    at_ += buffer.size();
    done = static_cast<std::uint32_t>(buffer.size());
    return true;
  }

 private:
  std::uint32_t size_;
  std::size_t at_ = 0;
};

// A read verify's read of a large image into its raw file: the memory it adds
// to the process, which must stay at its buffers whatever the image's size.
void BM_ReadBackIntoFile(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0)) << 20;
  const std::string raw = (std::filesystem::temp_directory_path() / "burnbench-bench-read.raw").string();
  double peakMiB = 0;
  for (auto _ : state) {
    state.PauseTiming();
    BurnRig rig(raw);
    rig.bus.Camera().readPreparePolls = 0;
    GeneratingCamera camera(rig.bus, static_cast<std::uint32_t>(size));
    DeviceLink link{camera, rig.clock, rig.timers, rig.prompts};
    Platform platform{camera,        rig.clock, rig.timers, rig.console, rig.controls,
                      rig.prompts,   rig.steps, rig.arrivals, rig.profile};
    DeviceCommands commands{link, rig.console, rig.context};
    ReadBack readBack{platform, rig.context, rig.window, link, commands, rig.burn, rig.watcher};
    const std::uint64_t before = StatusKiB("VmRSS");
    ResetPeak();
    state.ResumeTiming();
    const int read = readBack.ReadResource(raw, ReadPurpose::kVerify);
    const std::uint64_t peak = StatusKiB("VmHWM");
    if (read != 0 || std::filesystem::file_size(raw) != size) {
      state.SkipWithError("the read-back failed");
      break;
    }
    peakMiB = std::max(peakMiB, static_cast<double>(peak > before ? peak - before : 0) / 1024.0);
    // Each of many cameras read back at once may add this much beyond the image.
    if (peakMiB > 2.0) {
      state.SkipWithError("the read-back added more than 2 MiB");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["peak_added_MiB"] = peakMiB;
  std::filesystem::remove(raw);
}

BENCHMARK(BM_BurnFirmware)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBackIntoFile)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BurnToCountingCamera)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BurnRecorded)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bb

BENCHMARK_MAIN();
