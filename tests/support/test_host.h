#pragma once

#include <cstdint>
#include <vector>

#include "app/platform.h"
#include "app/workbench.h"
#include "burn/job_config.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"
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
    bus.SetArrivalHandler([this] { arrivals.CameraArrived(); });
    arrivals.SetAnnouncer([this] { bench.sequencer.OnDeviceChange(Sequencer::kDeviceArrival); });
    context.executableFolder = folder.Text();
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
  FifoStepQueue steps;
  NativeProfile profile;
  Platform platform{bus, clock, timers, console, controls, prompts, steps, arrivals, profile};
  Context context;
  Workbench bench{platform, context};
  std::vector<std::uint32_t> history;
};

}  // namespace bb::test
