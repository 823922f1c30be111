// files.ini comes with a camera's image and names the exported files. Whatever
// it holds, the export must write nothing outside the chosen folder and its
// sub directories A and B, not even through links planted in them: after each
// run the real file system is looked at.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "common/platform.h"
#include "app/workbench.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/std/ini_profile.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "scratch_folder.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"
#include "sim/sim_raw_image.h"
#include "support/recording_console.h"
#include "support/recording_controls.h"
#include "support/recording_prompts.h"

namespace {

const bb::fuzz::ScratchFolder& Scratch() {
  static const bb::fuzz::ScratchFolder scratch;
  return scratch;
}

std::vector<std::uint8_t> SampleBrn() {
  bb::sim::ImageContent content;
  content.groupA = {{0x01, {1, 2, 3}}, {0x7F, {4}}};
  content.groupB = {{0x80, {5, 6}}, {0x2000, {7}}};
  content.firmware = std::vector<std::uint8_t>(16, 9);
  return bb::sim::EncodeBrnFile(content, 0x100);
}

constexpr char kVictimText[] = "outside the export folder";

// Links to a folder and to files outside `out`, where the entries' default
// names and the corpus entries' names lead: every one must be refused.
void PlantLinks(const std::filesystem::path& out, const std::filesystem::path& outside) {
  std::error_code error;
  std::filesystem::create_directories(out / "A", error);
  std::filesystem::create_directories(out / "B", error);
  std::filesystem::create_directory_symlink(outside, out / "A" / "dirlink", error);
  std::filesystem::create_symlink(outside / "victim.txt", out / "A" / "Res_0x1.res", error);
  std::filesystem::create_symlink(outside / "victim.txt", out / "fwlink", error);
  std::filesystem::create_symlink(outside / "new.bin", out / "B" / "Res_0x80.res", error);
}

// Outside `out`, the scratch folder holds the BRN file and the untouched victim
// alone; inside it, nothing but what the export wrote.
void CheckNothingEscaped(const std::filesystem::path& root, const std::filesystem::path& out,
                         const std::filesystem::path& outside) {
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (error) std::abort();
    const std::filesystem::path path = it->path();
    if (path == out || path == outside || path == outside / "victim.txt" || path == root / "image.brn") {
      continue;
    }
    const auto relative = path.lexically_relative(out);
    if (relative.empty() || *relative.begin() == "..") std::abort();
  }
  std::ifstream victim(outside / "victim.txt", std::ios::binary);
  const std::string content(std::istreambuf_iterator<char>(victim), {});
  if (content != kVictimText) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bb::fuzz::ScratchFolder& scratch = Scratch();
  static const std::vector<std::uint8_t> brn = SampleBrn();
  const std::filesystem::path root = std::filesystem::path(scratch.File(""));
  const std::filesystem::path out = root / "out";
  const std::filesystem::path outside = root / "outside";
  std::error_code error;
  std::filesystem::remove_all(out, error);
  if (!std::filesystem::exists(outside / "victim.txt")) {
    std::filesystem::create_directories(outside);
    std::ofstream(outside / "victim.txt", std::ios::binary) << kVictimText;
  }
  PlantLinks(out, outside);
  const std::string brnPath = scratch.Write("image.brn", brn.data(), brn.size());
  {
    std::ofstream list(out / "files.ini", std::ios::binary);
    list.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  bb::VirtualClock clock;
  bb::ManualTimerService timers(clock);
  bb::sim::SimBus bus;
  bb::sim::SimArrivalWatch arrivals;
  bb::test::RecordingConsole console;
  bb::test::RecordingControls controls;
  bb::test::RecordingPrompts prompts;
  bb::FifoStepQueue steps;
  bb::IniProfile profile;
  bb::Platform platform{bus, clock, timers, console, controls, prompts, steps, arrivals, profile};
  bb::Context context;
  bb::Workbench bench(platform, context);
  const std::u8string outText = out.u8string();
  bench.resourceExport.ExportToFolder(brnPath, std::string(outText.begin(), outText.end()));

  CheckNothingEscaped(root, out, outside);
  return 0;
}
