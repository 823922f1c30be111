#include "offline_command.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "app/held_controls.h"
#include "app/stopping_boxes.h"
#include "app/workbench.h"
#include "burn/image_files.h"
#include "camera_worlds.h"
#include "platform/std/fifo_step_queue.h"
#include "session_time.h"
#include "terminal_prompts.h"
#include "util/paths.h"

namespace bb::cli {

// `export BRN DIR`: the window's export of a BRN file, with no camera behind
// it. A box that stops the walk fails the export, whatever its log says.
int RunExport(OfflineCommand& command) {
  const std::string& brn = command.options.operands[0];
  const std::string& folder = command.options.operands[1];
  std::error_code error;
  if (!FileExists(brn) || !std::filesystem::is_directory(FsPath(folder), error)) {
    command.channel.Note("burnbench-cli: cannot use " + brn + " and " + folder);
    return kExitUnusable;
  }
  SessionTime time(command.options);
  const std::unique_ptr<CameraLink> none = MakeNoCamera();
  HeldControls controls;
  TerminalPrompts prompts(command.channel, command.options.yes, brn);
  StoppingBoxes boxes(prompts);
  FifoStepQueue steps;
  Platform platform{none->Transport(), time.SessionClock(), time.Timers(), command.console, controls,
                    boxes,             steps,               none->Arrivals(), command.profile};
  Workbench bench(platform, command.context);
  return bench.resourceExport.ExportToFolder(brn, folder) && !boxes.Stopped() ? kExitSuccess : kExitFailure;
}

}  // namespace bb::cli
