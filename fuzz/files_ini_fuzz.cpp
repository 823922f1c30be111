// files.ini comes with a camera's image and names the exported files. Whatever
// it holds, the export must write nothing outside the chosen folder and its
// sub directories A and B.
#include <cstdlib>
#include <filesystem>
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

// Everything below the scratch folder must lie in `inside`.
void CheckNothingEscaped(const std::filesystem::path& root, const std::filesystem::path& inside) {
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (error) break;
    const std::filesystem::path path = it->path();
    if (path == inside || path.filename() == "image.brn") continue;
    const auto relative = path.lexically_relative(inside);
    if (relative.empty() || *relative.begin() == "..") std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bb::fuzz::ScratchFolder& scratch = Scratch();
  static const std::vector<std::uint8_t> brn = SampleBrn();
  const std::filesystem::path root = std::filesystem::path(scratch.File(""));
  const std::filesystem::path out = root / "out";
  std::error_code error;
  std::filesystem::remove_all(out, error);
  std::filesystem::create_directories(out / "A");
  std::filesystem::create_directories(out / "B");
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
  bench.resourceExport.ExportBrnFile(brnPath, std::string(outText.begin(), outText.end()));

  CheckNothingEscaped(root, out);
  return 0;
}
