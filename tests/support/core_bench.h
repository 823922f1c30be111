#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/workbench.h"
#include "common/control_ids.h"
#include "platform/std/fifo_step_queue.h"
#include "platform/virtual/manual_timer_service.h"
#include "support/native_profile.h"
#include "util/paths.h"
#include "support/recording_console.h"
#include "support/recording_controls.h"
#include "support/recording_prompts.h"

namespace bb::test {

// The core as the window holds it, on the transport and arrival watch given,
// with Silent Mode and Read Verify checked.
struct Bench {
  Bench(DeviceTransport& transport, ArrivalWatch& arrivals, VirtualClock& clockIn, const std::string& folder)
      : clock(clockIn),
        platform{transport, clock, timers, console, controls, prompts, steps, arrivals, profile} {
    context.executableFolder = folder;
    context.configPath = folder + kPathSeparator + "Isp.ini";
    context.controllerCode = kVexa2860;
    controls.SetChecked(kSilentModeCheck, true);
    controls.SetChecked(kReadVerifyCheck, true);
  }

  // Starts a run, then runs its steps as the window's message loop would,
  // until nothing is queued and going idle brings nothing more.
  void Run(const std::function<void()>& start, const std::function<bool()>& idle) {
    start();
    for (;;) {
      if (auto step = steps.Take()) {
        bench.sequencer.OnStep(*step);
      } else if (!idle()) {
        return;
      }
    }
  }

  void BurnAndVerify(const std::function<bool()>& idle) {
    Run([this] { bench.burn.StartBurn(); }, idle);
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const MessageBoxRequest& box : prompts.Boxes()) texts.push_back(box.text);
    return texts;
  }

  VirtualClock& clock;
  ManualTimerService timers{clock};
  RecordingConsole console;
  RecordingControls controls;
  RecordingPrompts prompts;
  FifoStepQueue steps;
  NativeProfile profile;
  Platform platform;
  Context context;
  Workbench bench{platform, context};
};

}  // namespace bb::test
