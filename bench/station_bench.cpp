// A station's throughput on the real clock with the real pacing: 16 slots and
// a simulated line of 48 cameras (three rounds, some 80 s), each slot refilled
// once it has stood empty for UnplugSeconds, every burn read back, the sample
// job pinned. Cameras per hour against the bound that the pacing sets:
// slots x 3600 / (the paced time of one verified burn + the time from a
// camera's result to the next camera at its slot: the line's operator takes a
// camera away two seconds after its result, a second or two later for the
// cameras that restart or power down and up after their burn, on average over
// the line; then the slot stands empty for UnplugSeconds). The paced time is
// the same burn's on the simulated clock, where only the pacing takes time.
// The line's cameras are the full camera model; the sample job's images are
// small, so what the cameras do of their own costs next to nothing.
//
// BM_StationThroughput reports cameras_per_hour, bound_per_hour and
// of_bound (target: 0.95 or more), the paced time and the mean time of a run,
// and the time between cameras at a slot that the line sets.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "camera_runner.h"
#include "cli_options.h"
#include "line_operator.h"
#include "util/iso_time.h"
#include "util/sha256.h"

namespace bb {
namespace {

constexpr unsigned kSlots = 16;
constexpr unsigned kCameras = 48;
constexpr std::uint64_t kUnplugMs = 3000;

// From a camera's result to the next camera at its slot, on average over the
// line, as its operator paces it.
double BetweenCamerasMs() {
  double takenAway = 0;
  for (unsigned camera = 1; camera <= kCameras; ++camera) takenAway += static_cast<double>(cli::TakenAwayAfterMs(camera));
  return takenAway / kCameras + static_cast<double>(kUnplugMs);
}

// The sample job, pinned, with a station that reads every burn back.
class StationJob {
 public:
  StationJob()
      : folder_(std::filesystem::temp_directory_path() / ("burnbench-bench-station-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(folder_);
    const std::filesystem::path examples = BURNBENCH_EXAMPLES_DIR;
    std::stringstream ini;
    ini << std::ifstream(examples / "Isp.ini").rdbuf();
    std::string text = ini.str();
    std::string pins;
    for (const auto& [key, name] : {std::pair{"ParamSha256", "param.txt"}, std::pair{"IspSha256", "core.bin"},
                                    std::pair{"FwSha256", "fw.brn"}}) {
      std::filesystem::copy_file(examples / name, folder_ / name);
      pins += std::string(key) + "=" + ToHex(HashFile((folder_ / name).string())->digest) + "\n";
    }
    text.insert(text.find('\n', text.find("[2860]")) + 1, pins);
    text += "[Station]\nName=bench\nUnplugSeconds=" + std::to_string(kUnplugMs / 1000) + "\nVerify=1\n";
    std::ofstream(folder_ / "Isp.ini") << text;
  }
  ~StationJob() { std::filesystem::remove_all(folder_); }
  StationJob(const StationJob&) = delete;
  StationJob& operator=(const StationJob&) = delete;

  std::filesystem::path File(const std::string& name) const { return folder_ / name; }

 private:
  std::filesystem::path folder_;
};

struct Run {
  std::int64_t startMs = 0;
  std::int64_t durationMs = 0;
  bool ok = false;
};

std::optional<std::string> Field(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\":";
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t from = at + key.size() + (line[at + key.size()] == '"' ? 1 : 0);
  return line.substr(from, line.find_first_of(",\"}", from) - from);
}

// The runs of a shift of `cameras` through `slots`, from its run report; empty
// when the station failed.
std::vector<Run> Shift(const StationJob& job, unsigned slots, unsigned cameras, bool virtualClock,
                       const std::string& name) {
  const std::string report = job.File(name + ".jsonl").string();
  std::vector<std::string> arguments = {"--ini", job.File("Isp.ini").string(), "--db", "none", "--simulate",
                                        std::to_string(slots), "--line", std::to_string(cameras), "--report",
                                        report, "station"};
  if (virtualClock) arguments.insert(arguments.begin(), "--virtual-clock");
  std::string error;
  const std::optional<cli::Options> options = cli::ParseOptions(arguments, error);
  std::FILE* discard = std::fopen("/dev/null", "w");
  if (!options || discard == nullptr) return {};
  const int status = cli::RunCommandLine(*options, job.File("burnbench-cli").string(), discard, discard);
  std::fclose(discard);
  if (status != 0) return {};
  std::vector<Run> runs;
  std::ifstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    const std::optional<std::string> start = Field(line, "start");
    const std::optional<std::string> duration = Field(line, "duration_ms");
    const std::optional<std::int64_t> startMs = start ? ParseIsoUtc(*start) : std::nullopt;
    if (!startMs || !duration) return {};
    runs.push_back(Run{*startMs, std::stoll(*duration), Field(line, "result") == "ok"});
  }
  std::filesystem::remove(report);
  return runs;
}

void BM_StationThroughput(benchmark::State& state) {
  const StationJob job;
  for (auto _ : state) {
    const std::vector<Run> paced = Shift(job, 1, 1, true, "paced");
    const std::vector<Run> runs = Shift(job, kSlots, kCameras, false, "real");
    const bool allPassed = std::all_of(runs.begin(), runs.end(), [](const Run& run) { return run.ok; });
    if (paced.size() != 1 || !paced[0].ok || runs.size() != kCameras || !allPassed) {
      state.SkipWithError("the station's shift failed, or a run did not pass");
      return;
    }
    std::int64_t first = std::numeric_limits<std::int64_t>::max();
    std::int64_t last = 0;
    double runMs = 0;
    for (const Run& run : runs) {
      first = std::min(first, run.startMs);
      last = std::max(last, run.startMs + run.durationMs);
      runMs += static_cast<double>(run.durationMs);
    }
    // Each round of a slot is a run and the time before the next: the last
    // round's is added, as the rounds before it hold theirs.
    const double between = BetweenCamerasMs();
    const double spanMs = static_cast<double>(last - first) + between;
    const double perHour = kCameras * 3'600'000.0 / spanMs;
    const double bound = kSlots * 3'600'000.0 / (static_cast<double>(paced[0].durationMs) + between);
    state.SetIterationTime(spanMs / 1e3);
    state.counters["cameras_per_hour"] = perHour;
    state.counters["bound_per_hour"] = bound;
    state.counters["of_bound"] = perHour / bound;
    state.counters["paced_run_s"] = static_cast<double>(paced[0].durationMs) / 1e3;
    state.counters["mean_run_s"] = runMs / kCameras / 1e3;
    state.counters["between_cameras_s"] = between / 1e3;
  }
}

BENCHMARK(BM_StationThroughput)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace bb

BENCHMARK_MAIN();
