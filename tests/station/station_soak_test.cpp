// A long shift inside this process: thousands of simulated cameras through 16
// slots on the simulated time, faults drawn at random aimed at some of them.
// Every camera is recorded once, exactly the runs whose fault fired fail, and
// the station gives back what it took: memory no higher after the long shift
// than after a short one, and the same open files and threads as before.
// BURNBENCH_SOAK_CAMERAS sets the long shift's length (default 200).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "camera_runner.h"
#include "cli_options.h"
#include "cli/cli_process.h"
#include "support/temp_folder.h"
#include "util/sha256.h"

namespace bb {
namespace {

// Faults whose firing must fail a burn.
const char* const kFailingFaults[] = {"busy", "no-storage", "storage-write-fails", "write-fails:1", "write-short:2"};

std::size_t Entries(const char* folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

// Starts the process's peak resident memory afresh from what it holds now.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The process's peak resident memory since the last reset, in KiB.
long PeakKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

class StationSoakTest : public ::testing::Test {
 protected:
  StationSoakTest() {
    std::string ini = test::Slurp(std::filesystem::path(BURNBENCH_EXAMPLES_DIR) / "Isp.ini");
    std::string pins;
    for (const auto& [key, name] : {std::pair{"ParamSha256", "param.txt"}, std::pair{"IspSha256", "core.bin"},
                                    std::pair{"FwSha256", "fw.brn"}}) {
      std::filesystem::copy_file(std::filesystem::path(BURNBENCH_EXAMPLES_DIR) / name, work.Path() / name);
      pins += std::string(key) + "=" + ToHex(HashFile(work.File(name))->digest) + "\n";
    }
    // Behind the section's line, whatever its line end.
    ini.insert(ini.find('\n', ini.find("[2860]")) + 1, pins);
    work.Write("Isp.ini", ini);
  }

  struct Shift {
    int status = -1;
    std::map<std::string, std::string> results;  // serial: "ok" or "failed", from the report
    std::set<std::string> fired;                 // serials whose fault fired
    std::size_t reportLines = 0;
    // The process's peak during the shift, before the test reads what it wrote.
    long peakKiB = -1;
  };

  // `cameras` through 16 slots, a fault drawn at random for about one camera in eight.
  Shift RunShift(const std::string& prefix, unsigned cameras, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> arguments = {"--virtual-clock", "--ini", work.File("Isp.ini"), "--simulate", "16",
                                          "--line", std::to_string(cameras), "--line-serials", prefix,
                                          "--report", work.File(prefix + "report.jsonl")};
    for (unsigned k = 1; k <= cameras; ++k) {
      if (random() % 8 != 0) continue;
      arguments.push_back("--fault");
      arguments.push_back("@" + std::to_string(k) + ":" + kFailingFaults[random() % std::size(kFailingFaults)]);
    }
    arguments.push_back("station");
    std::string error;
    const std::optional<cli::Options> options = cli::ParseOptions(arguments, error);
    ResetPeak();
    EXPECT_TRUE(options) << error;
    Shift shift;
    if (!options) return shift;
    {
      std::FILE* out = std::fopen(work.File(prefix + "out.txt").c_str(), "wb");
      std::FILE* err = std::fopen(work.File(prefix + "err.txt").c_str(), "wb");
      shift.status = cli::RunCommandLine(*options, work.File("burnbench-cli"), out, err);
      std::fclose(out);
      std::fclose(err);
    }
    shift.peakKiB = PeakKiB();
    for (const std::string& line : test::Lines(test::Slurp(work.Path() / (prefix + "report.jsonl")))) {
      ++shift.reportLines;
      const std::size_t at = line.find("\"serial\":\"") + 10;
      const std::string serial = line.substr(at, line.find('"', at) - at);
      shift.results[serial] = line.find("\"result\":\"ok\"") != std::string::npos ? "ok" : "failed";
    }
    // "fault fired: @K:NAME" names the camera by its place in the line.
    for (const std::string& line : test::Lines(test::Slurp(work.Path() / (prefix + "err.txt")))) {
      if (line.rfind("fault fired: @", 0) != 0) continue;
      const unsigned k = static_cast<unsigned>(std::stoul(line.substr(14)));
      shift.fired.insert(prefix + Format5(k));
    }
    return shift;
  }

  static std::string Format5(unsigned k) {
    std::string digits = std::to_string(k);
    return std::string(5 - std::min<std::size_t>(5, digits.size()), '0') + digits;
  }

  static void ExpectSound(const Shift& shift, unsigned cameras) {
    EXPECT_EQ(shift.reportLines, cameras) << "a camera recorded twice, or not at all";
    EXPECT_EQ(shift.results.size(), cameras);
    for (const auto& [serial, result] : shift.results) {
      EXPECT_EQ(result, shift.fired.count(serial) != 0 ? "failed" : "ok") << serial;
    }
    EXPECT_EQ(shift.status, shift.fired.empty() ? 0 : 1);
  }

  test::TempFolder work;
};

TEST_F(StationSoakTest, ALongShiftKeepsEveryRecordAndGivesBackWhatItTook) {
  const char* given = std::getenv("BURNBENCH_SOAK_CAMERAS");
  const unsigned cameras = given != nullptr ? static_cast<unsigned>(std::stoul(given)) : 200;
  const std::size_t filesBefore = Entries("/proc/self/fd");
  const std::size_t threadsBefore = Entries("/proc/self/task");

  // The first shift warms the allocator up: what its threads set aside
  // stays for the shifts after it.
  ExpectSound(RunShift("W-", 200, 3), 200);
  const Shift first = RunShift("A-", 200, 1);
  ExpectSound(first, 200);
  const long peakAfterShort = first.peakKiB;

  const Shift second = RunShift("B-", cameras, 2);
  ExpectSound(second, cameras);
  const long peakAfterLong = second.peakKiB;
  EXPECT_LE(peakAfterLong, peakAfterShort + peakAfterShort / 10)
      << "peak " << peakAfterShort << " KiB after 200 cameras, " << peakAfterLong << " KiB after " << cameras;
  EXPECT_EQ(Entries("/proc/self/fd"), filesBefore);
  EXPECT_EQ(Entries("/proc/self/task"), threadsBefore);
}

}  // namespace
}  // namespace bb
