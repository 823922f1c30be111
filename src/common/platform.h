#pragma once

#include "platform/arrival_watch.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/controls.h"
#include "platform/device_transport.h"
#include "platform/profile.h"
#include "platform/prompts.h"
#include "platform/step_queue.h"
#include "platform/timer_service.h"

namespace bb {

// Everything through which the core reaches the world, handed over by the host.
struct Platform {
  DeviceTransport& transport;
  Clock& clock;
  TimerService& timers;
  Console& console;
  Controls& controls;
  Prompts& prompts;
  StepQueue& steps;
  ArrivalWatch& arrivals;
  Profile& profile;
};

}  // namespace bb
