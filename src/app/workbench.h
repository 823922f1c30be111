#pragma once

#include "common/arrival_watcher.h"
#include "common/context.h"
#include "common/platform.h"
#include "app/run_tracker.h"
#include "app/sequencer.h"
#include "common/window_state.h"
#include "burn/burn_procedure.h"
#include "burn/legacy_procedure.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "readback/read_back.h"
#include "readback/resource_export.h"

namespace bb {

// One camera's session: the job and everything that works on it, wired to the
// platform that the host hands over. The main window keeps one for the life of
// the program; the command-line program runs one per camera, each on its own
// thread, with its own platform and its own copy of the process values.
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
        runs(link.Binding(), commands, window, platform.clock),
        sequencer(platform, context, window, link, commands, burn, readBack, resourceExport,
                  arrivals, runs) {}

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
  RunTracker runs;
  Sequencer sequencer;
};

}  // namespace bb
