#pragma once

#include "common/context.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "platform/virtual/manual_timer_service.h"
#include "platform/virtual/virtual_clock.h"
#include "sim/sim_bus.h"
#include "support/recording_console.h"
#include "support/recording_prompts.h"

namespace bb::test {

// The device link wired to the simulated camera on a virtual clock, with the
// transfer settings that a loaded job gives.
struct DeviceRig {
  DeviceRig() {
    bus.SetTimePassage([this](std::uint32_t ms) { clock.Advance(ms); });
    context.productVersion = ProductVersion{(5u << 16) | 5u, (2u << 16) | 0u};
    context.transfer = TransferSettings{256, 0x10000};
  }

  VirtualClock clock;
  ManualTimerService timers{clock};
  sim::SimBus bus;
  RecordingConsole console;
  RecordingPrompts prompts;
  Context context;
  DeviceLink link{bus, clock, timers, prompts};
  DeviceCommands commands{link, console, context};
};

}  // namespace bb::test
