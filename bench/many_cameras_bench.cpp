// The tool's cost of many cameras burning one 64 MiB firmware at once, as
// `burnbench-cli --simulate N --virtual-clock burn --all` runs them, whole
// sessions and all, against counting cameras: each camera only counts and sums
// the bytes it is sent (a wrong byte fails the benchmark) and makes the image
// that a read verify asks for piece by piece as it is read, so that it keeps
// none of it. The first shift of each configuration proves the bytes (every
// camera sums them); in the shifts timed after it the cameras only count, and
// the time they take to make what is read back is taken out.
//
// BM_CamerasAtOnce/CAMERAS/VERIFY reports
// - peak_added_MiB: the peak memory that the command adds to the process, the
//   image it reads once included; per_camera_MiB is what each camera adds
//   beyond the image (target: at most 2 MiB);
// - tool_ms_per_MiB: the sessions' processor time per MiB of the image per
//   camera, the cameras' own time taken out (target: within 1.25 times one
//   camera's);
// - once_ms_per_MiB: what the process does once for all its cameras (reads,
//   checks and hashes the image, lists the cameras), per MiB.
// Memory is the worst of the iterations, time the best: other work on the
// machine only ever adds time.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"

#include "camera_runner.h"
#include "cli_options.h"
#include "simulated_link.h"
#include "sim/fresh_camera.h"
#include "sim/shared_bus.h"
#include "sim/sim_bus.h"
#include "util/byte_order.h"
#include "util/sha256.h"

namespace bb {
namespace {

constexpr std::size_t kImageBytes = std::size_t{64} << 20;
constexpr std::uint32_t kBlockUnit = 256;
const std::string kParam = "PARAMETR";
const std::string kCore = "ISPCORE!";

// A pinned job whose firmware is the large image, in a folder of its own.
class Job {
 public:
  Job() : folder_(std::filesystem::temp_directory_path() / ("burnbench-bench-cameras-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ / "param.bin", std::ios::binary) << kParam;
    std::ofstream(folder_ / "core.bin", std::ios::binary) << kCore;
    bench::WriteFirmwareFile(folder_ / "fw.bin", kImageBytes);
    std::ofstream(folder_ / "Isp.ini")
        << "[DevNo]\nChipID=10\n[2860]\nParamAddress2860=0x1000\nCoreAddress2860=0x20000\n"
           "DramAddress2860=0x300000\nRomAddress2860=0\nSectorAddress2860=0\nParamFile=param.bin\n"
           "IspFile=core.bin\nFwFile=fw.bin\nIspTimeoutSec=30\nFwFileID=256\nAutoPowerDown2860=0\n"
        << "ParamSha256=" << Pin("param.bin") << "\nIspSha256=" << Pin("core.bin")
        << "\nFwSha256=" << Pin("fw.bin") << "\n";
  }
  ~Job() { std::filesystem::remove_all(folder_); }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  std::string Ini() const { return (folder_ / "Isp.ini").string(); }
  std::string Program() const { return (folder_ / "burnbench-cli").string(); }
  // The files of the last shift's read verifies.
  void RemoveVerifyFolders() const {
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      if (entry.path().filename().string().rfind("verify-", 0) == 0) std::filesystem::remove_all(entry.path());
    }
  }

 private:
  std::string Pin(const char* name) const { return ToHex(HashFile((folder_ / name).string())->digest); }

  std::filesystem::path folder_;
};

// What the parameter file, the core and the firmware bring a camera.
bench::Checksum ExpectedReceived() {
  bench::Checksum expected;
  expected.Add(std::span(reinterpret_cast<const std::uint8_t*>(kParam.data()), kParam.size()));
  expected.Add(std::span(reinterpret_cast<const std::uint8_t*>(kCore.data()), kCore.size()));
  bench::AddFirmware(expected, kImageBytes, kBlockUnit);
  return expected;
}

// The raw image of the firmware burned without resources: its length, then
// its bytes (whole blocks already).
constexpr std::uint32_t kRawBytes = 4 + static_cast<std::uint32_t>(kImageBytes);
void MakeRawPiece(std::uint64_t at, std::span<std::uint8_t> piece) {
  std::array<std::uint8_t, 4> length{};
  PutBe32(length, 0, static_cast<std::uint32_t>(kImageBytes));
  std::size_t done = 0;
  for (; done < piece.size() && at + done < length.size(); ++done) piece[done] = length[at + done];
  bench::FillFirmware(at + done - length.size(), piece.subspan(done));
}

// Simulated cameras that only count what they are sent, or with `sum` sum it
// too, and make what they are asked to read back, on the thread of the
// session that calls them, keeping the time that takes apart.
class CountingCameras final : public CameraWorld {
 public:
  CountingCameras(unsigned count, bool sum) {
    bus_.KeepTranscript(false);
    for (unsigned i = 0; i < count; ++i) {
      sim::SimCamera& camera = bus_.Attach();
      sim::SetUpFreshCamera(camera, false);
      Tally& tally = *tallies_.emplace_back(std::make_unique<Tally>());
      camera.bulkSink = [&tally, sum](std::span<const std::uint8_t> bytes) {
        tally.bytes += bytes.size();
        if (sum) tally.received.Add(bytes);
      };
      camera.bulkSource = sim::SimCamera::BulkSource{kRawBytes, [&tally](std::uint64_t at, std::span<std::uint8_t> piece) {
                                                       const double start = bench::ThreadCpuMs();
                                                       MakeRawPiece(at, piece);
                                                       tally.makingMs += bench::ThreadCpuMs() - start;
                                                     }};
    }
  }

  std::unique_ptr<CameraLink> Connect(CameraTime passTime, Notes) override {
    return cli::MakeSimulatedLink(shared_.Connect(std::move(passTime)));
  }

  // Every camera received as many bytes as the job's images hold, and, when
  // they were summed, those bytes.
  bool EachReceived(const bench::Checksum& expected, bool summed) const {
    const std::uint64_t bytes = kParam.size() + kCore.size() + kImageBytes;
    for (const auto& tally : tallies_) {
      if (tally->bytes != bytes || (summed && !(tally->received == expected))) return false;
    }
    return true;
  }
  double MakingMs() const {
    double total = 0;
    for (const auto& tally : tallies_) total += tally->makingMs;
    return total;
  }

 private:
  struct Tally {
    std::uint64_t bytes = 0;
    bench::Checksum received;
    double makingMs = 0;
  };

  sim::SimBus bus_;
  sim::SharedBus shared_{bus_};
  std::vector<std::unique_ptr<Tally>> tallies_;
};

struct Shift {
  bool burned = false;
  double peakAddedMiB = 0;
  // Processor time of the sessions, the cameras' own taken out, and of what
  // the process does once for all of them.
  double sessionsMs = 0;
  double onceMs = 0;
};

// `prove`: the cameras sum every byte they are sent, and the shift has burned
// only when each got the firmware; else they only count the bytes, which
// costs them next to nothing, and the shift is the one to time.
Shift BurnAtOnce(const Job& job, unsigned cameras, bool verify, bool prove) {
  std::vector<std::string> arguments = {"--simulate", std::to_string(cameras), "--virtual-clock", "--ini",
                                        job.Ini(), "--db", "none", "burn", "--all"};
  if (verify) arguments.push_back("--verify");
  std::string error;
  const std::optional<cli::Options> options = cli::ParseOptions(arguments, error);
  Shift shift;
  if (!options) return shift;
  CountingCameras world(cameras, prove);
  std::FILE* discard = std::fopen("/dev/null", "w");
  if (discard == nullptr) return shift;

  const std::uint64_t before = bench::StatusKiB("VmRSS");
  bench::ResetPeak();
  const double processStart = bench::ProcessCpuMs();
  const double ownStart = bench::ThreadCpuMs();
  const int status = cli::RunCommandLine(*options, job.Program(), discard, discard, &world);
  // This thread does what the process does once; every session runs on a thread of its own.
  shift.onceMs = bench::ThreadCpuMs() - ownStart;
  const double processMs = bench::ProcessCpuMs() - processStart;
  const std::uint64_t peak = bench::StatusKiB("VmHWM");
  std::fclose(discard);

  shift.burned = status == 0 && world.EachReceived(ExpectedReceived(), prove);
  shift.sessionsMs = processMs - shift.onceMs - world.MakingMs();
  shift.peakAddedMiB = static_cast<double>(peak > before ? peak - before : 0) / 1024.0;
  job.RemoveVerifyFolders();
  return shift;
}

void BM_CamerasAtOnce(benchmark::State& state) {
  static const Job job;
  const auto cameras = static_cast<unsigned>(state.range(0));
  const bool verify = state.range(1) != 0;
  constexpr double kImageMiB = static_cast<double>(kImageBytes) / (1 << 20);
  double worstPeakMiB = 0;
  double bestMsPerMiB = 0;
  double bestOnceMsPerMiB = 0;
  bool proven = false;
  for (auto _ : state) {
    // The first shift proves the bytes; the others are timed.
    const Shift shift = BurnAtOnce(job, cameras, verify, !proven);
    if (!shift.burned) {
      state.SkipWithError("a camera's burn failed, or a camera received other bytes");
      break;
    }
    const double msPerMiB = shift.sessionsMs / cameras / kImageMiB;
    state.SetIterationTime(shift.sessionsMs / cameras / 1e3);
    worstPeakMiB = std::max(worstPeakMiB, shift.peakAddedMiB);
    if (proven && (bestMsPerMiB == 0 || msPerMiB < bestMsPerMiB)) bestMsPerMiB = msPerMiB;
    proven = true;
    const double onceMsPerMiB = shift.onceMs / kImageMiB;
    if (bestOnceMsPerMiB == 0 || onceMsPerMiB < bestOnceMsPerMiB) bestOnceMsPerMiB = onceMsPerMiB;
  }
  state.counters["peak_added_MiB"] = worstPeakMiB;
  state.counters["per_camera_MiB"] = (worstPeakMiB - kImageMiB) / cameras;
  state.counters["tool_ms_per_MiB"] = bestMsPerMiB;
  state.counters["once_ms_per_MiB"] = bestOnceMsPerMiB;
}

BENCHMARK(BM_CamerasAtOnce)
    ->ArgNames({"cameras", "verify"})
    ->ArgsProduct({{1, 8, 64}, {0}})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Each verifying camera writes and reads back 128 MiB of files: fewer rounds.
BENCHMARK(BM_CamerasAtOnce)
    ->ArgNames({"cameras", "verify"})
    ->ArgsProduct({{1, 8, 64}, {1}})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bb

BENCHMARK_MAIN();
