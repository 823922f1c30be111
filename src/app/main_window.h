#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "app/workbench.h"
#include "platform/process_info.h"

namespace bb {

// Where the start-up conversion of the ChipID 2 cameras reads and writes its
// files, and where it reports a file it cannot open.
struct StartupImageSite {
  std::filesystem::path folder;
  std::ostream& report;
};

// What the main window does, apart from what only a real window can do (status
// bar, system menu, icons, focus), which the host does around Start.
// User-interface thread only.
class MainWindow {
 public:
  MainWindow(Workbench& bench, ProcessInfo& process, StartupImageSite startupImage)
      : bench_(bench), process_(process), startupImage_(startupImage) {}

  // Reads Isp.ini and sets the controls, the log list, the job and the caption
  // up from it. False when the controller code stopped the start-up: the
  // window then stays half set up, with its initial focus left alone.
  bool Start();

  // A click on one of the window's buttons, check boxes or radios.
  void OnCommand(int controlId);

 private:
  void SetUpControllerControls(int controllerCode);
  void ApplyMaskFlags();
  void ApplyRadioFlags();
  void ChooseLegacyController(int radio, int controllerCode);
  void SetModeAndMediaEnabled(bool enabled);
  void OnModeRadio();
  void OnMediaRadio();

  Workbench& bench_;
  ProcessInfo& process_;
  StartupImageSite startupImage_;
};

// The version line of the about box: "ZIV Version 5.5.2", or with the revision
// when it is not 0.
std::string AboutVersionText(const ProductVersion& version);

}  // namespace bb
