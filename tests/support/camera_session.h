#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/run_outcome.h"
#include "app/workbench.h"
#include "burn/job_config.h"
#include "common/control_ids.h"
#include "platform/camera_link.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "sim/shared_bus.h"
#include "sim/sim_raw_image.h"
#include "simulated_link.h"
#include "support/native_profile.h"
#include "support/recording_console.h"
#include "support/recording_controls.h"
#include "support/recording_prompts.h"
#include "support/temp_folder.h"

namespace bb::test {

// A job of its own: the firmware differs in size and bytes from every other
// session's, so that an image on the wrong camera shows.
inline sim::ImageContent JobContent(int seed) {
  sim::ImageContent content;
  content.groupA = {{5, std::vector<std::uint8_t>(40, static_cast<std::uint8_t>(seed))}};
  content.firmware.resize(1500 + 100 * static_cast<std::size_t>(seed));
  for (std::size_t i = 0; i < content.firmware.size(); ++i) {
    content.firmware[i] = static_cast<std::uint8_t>(i * 3 + static_cast<std::size_t>(seed) * 17);
  }
  return content;
}

// One camera's session as a host builds it, on its own connection to the bus
// (or on a link of the command-line program's); the time its camera takes of
// its own passes as `passTime` has it.
struct CameraSession {
  CameraSession(sim::SharedBus& shared, const std::string& location, int seed,
                sim::SharedBus::TimePassage passTime = {})
      : CameraSession(cli::MakeSimulatedLink(shared.Connect(std::move(passTime))), location, seed) {}
  CameraSession(std::unique_ptr<CameraLink> camera, const std::string& location, int seed)
      : link(std::move(camera)),
        platform{link->Transport(), clock,   timers, console, controls,
                 prompts,           steps,   link->Arrivals(), profile} {
    process.executableFolder = folder.Text();
    process.configPath = folder.File("Isp.ini");
    context = Context(process);
    context.controllerCode = kVexa2860;
    folder.Write("Isp.ini", "[DevNo]\nChipID=10\n[2860]\nParamAddress2860=0x1000\n"
                            "CoreAddress2860=0x2000\nDramAddress2860=0x300000\n"
                            "RomAddress2860=0x40000\nParamFile=param.txt\nIspFile=core.bin\n"
                            "FwFile=fw.brn\n");
    folder.Write("param.txt", std::string(100 + static_cast<std::size_t>(seed), 'p'));
    folder.Write("core.bin", std::string(3000, 'c'));
    firmware = sim::EncodeBrnFile(JobContent(seed), 0x100);
    folder.Write("fw.brn", firmware);
    bench = std::make_unique<Workbench>(platform, context);
    bench->link.Binding().Pin(location);
    link->OnArrival([this](const DeviceArrival& arrival) {
      bench->sequencer.OnDeviceChange(Sequencer::kDeviceArrival, arrival);
    });
    bench->runs.OnRunEnd([this](RunRecord& done) {
      const std::vector<MessageBoxRequest> boxes = prompts.Boxes();
      JudgeRun(done, console.log, std::ranges::any_of(boxes, [](const MessageBoxRequest& box) {
                 return box.kind == BoxKind::kError;
               }));
      record = done;
    });
    controls.checked[kSilentModeCheck] = true;
    controls.checked[kReadVerifyCheck] = true;
  }

  // A burn with verify, its steps pumped as the window's message loop would.
  void Burn() {
    bench->burn.StartBurn();
    for (int idle = 0; idle < 100;) {
      if (auto step = steps.Take()) {
        bench->sequencer.OnStep(*step);
        continue;
      }
      if (!bench->arrivals.Watching()) return;
      if (!link->Idle()) ++idle;
    }
  }

  test::TempFolder folder;
  ProcessValues process;
  Context context;
  VirtualClock clock;
  ManualTimerService timers{clock};
  std::unique_ptr<CameraLink> link;
  test::RecordingConsole console;
  test::RecordingControls controls;
  test::RecordingPrompts prompts;
  FifoStepQueue steps;
  test::NativeProfile profile;
  Platform platform;
  std::unique_ptr<Workbench> bench;
  std::vector<std::uint8_t> firmware;
  RunRecord record;
};

}  // namespace bb::test
