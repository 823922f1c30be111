#pragma once

#include "common/arrival_watcher.h"
#include "common/context.h"
#include "common/platform.h"
#include "app/sequencer.h"
#include "common/window_state.h"
#include "burn/burn_procedure.h"
#include "burn/legacy_procedure.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "readback/read_back.h"
#include "readback/resource_export.h"

namespace bb {

// The core behind the main window: the one job and everything that works on
// it, wired to the platform that the host hands over. Hosts keep one for the
// life of the program.
struct Workbench {
  Workbench(Platform& platformIn, Context& contextIn)
      : platform(platformIn),
        context(contextIn),
        link(platform.transport, platform.clock, platform.timers, platform.prompts),
        commands(link, platform.console, context),
        arrivals(platform.arrivals, platform.console),
        burn(platform, context, window, link, commands, arrivals),
        legacy(platform, context, link, commands),
        readBack(platform, context, window, link, commands, burn, arrivals),
        resourceExport(platform, context, window, readBack),
        sequencer(platform, context, window, link, commands, burn, readBack, resourceExport,
                  arrivals) {}

  Platform& platform;
  Context& context;
  WindowState window;
  DeviceLink link;
  DeviceCommands commands;
  ArrivalWatcher arrivals;
  BurnProcedure burn;
  LegacyProcedure legacy;
  ReadBack readBack;
  ResourceExport resourceExport;
  Sequencer sequencer;
};

}  // namespace bb
