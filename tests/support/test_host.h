#pragma once

#include <cstdint>
#include <vector>

#include "common/platform.h"
#include "app/error_box_watch.h"
#include "app/workbench.h"
#include "burn/job_config.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"
#include "sim/sim_raw_image.h"
#include "support/native_profile.h"
#include "support/recording_console.h"
#include "support/recording_controls.h"
#include "support/recording_prompts.h"
#include "support/temp_folder.h"

namespace bb::test {

// The whole core as the main window holds it, on the simulated camera and a
// virtual clock. The test pumps the step queue as the window's message loop
// would; when the queue runs dry the loop is idle, and a camera that restarted
// comes back then.
class TestHost {
 public:
  TestHost() {
    bus.SetTimePassage([this](std::uint32_t ms) { clock.Advance(ms); });
    bus.SetArrivalHandler([this](const DeviceArrival& arrival) { arrivals.Announce(arrival); });
    arrivals.SetAnnouncer([this](const DeviceArrival& arrival) {
      bench.sequencer.OnDeviceChange(Sequencer::kDeviceArrival, arrival);
    });
    context.executableFolder = folder.Text();
    context.configPath = folder.File("Isp.ini");
    context.productVersion = ProductVersion{(5u << 16) | 5u, 2u << 16};
    context.controllerCode = 10;
  }

  // Runs queued steps until nothing is queued and no camera comes back.
  // Returns the steps in the order they ran.
  std::vector<std::uint32_t> Pump() {
    std::vector<std::uint32_t> ran;
    for (;;) {
      if (auto step = steps.Take()) {
        ran.push_back(*step);
        bench.sequencer.OnStep(*step);
        continue;
      }
      if (!bus.ReturnCameras()) break;
    }
    history.insert(history.end(), ran.begin(), ran.end());
    return ran;
  }

  // Isp.ini, the parameter file, the ISP core and a firmware BRN file made
  // by the camera's own encoder from `content`; then the job is loaded.
  void WriteSampleJob(const sim::ImageContent& content, const std::string& extraLines = "") {
    folder.Write("Isp.ini", "[DevNo]\nChipID=10\n[2860]\nParamAddress2860=0x1000\n"
                            "CoreAddress2860=0x2000\nDramAddress2860=0x300000\n"
                            "RomAddress2860=0x40000\nParamFile=param.txt\nIspFile=core.bin\n"
                            "FwFile=fw.brn\n" + extraLines);
    folder.Write("param.txt", std::string(100, 'p'));
    folder.Write("core.bin", std::string(3000, 'c'));
    firmware = sim::EncodeBrnFile(content, 0x100);
    folder.Write("fw.brn", firmware);
    LoadJob();
  }

  static sim::ImageContent SampleContent() {
    sim::ImageContent content;
    content.groupA = {{5, std::vector<std::uint8_t>(40, 0xA5)}, {0x7F, std::vector<std::uint8_t>(7, 0x7F)}};
    content.groupB = {{0x80, std::vector<std::uint8_t>(30, 0xB0)}};
    content.firmware = std::vector<std::uint8_t>(1500, 0);
    for (std::size_t i = 0; i < content.firmware.size(); ++i) {
      content.firmware[i] = static_cast<std::uint8_t>(i * 3);
    }
    return content;
  }

  int LoadJob() {
    return bb::LoadJob(profile, context, console, context.controllerCode, &bench.window.job);
  }
  BurnJob& Job() { return bench.window.job; }

  TempFolder folder;
  VirtualClock clock;
  ManualTimerService timers{clock};
  sim::SimBus bus;
  sim::SimArrivalWatch arrivals;
  RecordingConsole console;
  RecordingControls controls;
  RecordingPrompts prompts;
  // Between the prompts and the core, as the window has it.
  ErrorBoxWatch errorBoxes{prompts};
  FifoStepQueue steps;
  NativeProfile profile;
  Platform platform{bus, clock, timers, console, controls, errorBoxes, steps, arrivals, profile};
  Context context;
  Workbench bench{platform, context};
  std::vector<std::uint32_t> history;
  std::vector<std::uint8_t> firmware;
};

}  // namespace bb::test
