#include "app/main_window.h"

#include <initializer_list>

#include "common/control_ids.h"
#include "app/process_values.h"
#include "burn/image_files.h"
#include "burn/job_config.h"
#include "config/read_settings.h"
#include "util/format.h"

namespace bb {

namespace {

constexpr const char* kHelpText[] = {
    "ISP Function Explain：",
    "1.Insure that your camera is ",
    "  functioning correctly.",
    "2.Connect the camera to your PC",
    "  with the USB cable in Setup",
    "  mode.",
    "3.Click 'ISP' to start burn.",
    "4.Click 'ISP' to change selections",
    "  of dram param, Isp core and ",
    "  burn files if 'Silent Mode'",
    "  is unchecked.",
    "5.Read and verify after burn if",
    "  'Read Verify' is checked.",
    "6.Click 'Read' to read files",
    "  from camera.",
};

constexpr int kModeAndMediaRadios[] = {kMaskRadio, kNormalRadio, kNandRadio, kRomRadio};
constexpr int kLegacyRadios[] = {kVexa611Radio, kVexa616Radio, kVexa618Radio};

bool SupportedControllerCode(int code) { return code >= 2 && code <= 10; }

}  // namespace

bool MainWindow::Start() {
  Context& context = bench_.context;
  context.executableFolder = ComputeExecutableFolder(process_);
  context.configPath = ConfigPath(context.executableFolder);
  ReadSettings(bench_.platform.profile, context.configPath, context.settings);
  context.controllerCode = context.settings.controllerCode;
  if (!SupportedControllerCode(context.controllerCode)) {
    bench_.platform.console.AddLogLine("This AP is not support the chip!");
    return false;
  }
  SetUpControllerControls(context.controllerCode);
  context.controllerCode = kVexa2860;
  for (const char* line : kHelpText) bench_.platform.console.AddLogLine(line);
  ApplyMaskFlags();
  ApplyRadioFlags();
  bench_.platform.controls.SetChecked(kVexa2860Radio, true);
  context.controllerCode = kVexa2860;
  LoadJob(bench_.platform.profile, context, bench_.platform.console, kVexa2860, &bench_.window.job);
  context.productVersion = ReadProductVersion(process_);
  bench_.platform.console.SetCaption(MainCaption(context.productVersion));
  return true;
}

void MainWindow::SetUpControllerControls(int controllerCode) {
  Controls& controls = bench_.platform.controls;
  switch (controllerCode) {
    case kVexa611:
      SetModeAndMediaEnabled(false);
      controls.SetChecked(kVexa611Radio, true);
      break;
    case kVexa616:
      controls.SetChecked(kVexa616Radio, true);
      break;
    case kVexa618:
      controls.SetChecked(kVexa618Radio, true);
      break;
    case 2:
      ConvertStartupImage(startupImage_.folder, startupImage_.report);
      break;
    default:
      SetModeAndMediaEnabled(false);
      break;
  }
}

void MainWindow::ApplyMaskFlags() {
  if (bench_.context.settings.MaskFlag != 0) return;
  Controls& controls = bench_.platform.controls;
  SetModeAndMediaEnabled(false);
  controls.SetEnabled(kIspButton, true);
  for (const int radio : kLegacyRadios) controls.SetEnabled(radio, false);
}

void MainWindow::ApplyRadioFlags() {
  const Settings& settings = bench_.context.settings;
  Controls& controls = bench_.platform.controls;
  // Each flag only adds its two checks, so several flags leave several radios
  // of one group checked, as the file asked.
  const auto apply = [&](std::int32_t flag, int first, int second) {
    if (flag != 1) return;
    controls.SetChecked(first, true);
    controls.SetChecked(second, true);
  };
  apply(settings.MaskRom, kMaskRadio, kRomRadio);
  apply(settings.MaskNand, kMaskRadio, kNandRadio);
  apply(settings.NormalRom, kNormalRadio, kRomRadio);
  apply(settings.NormalNand, kNandRadio, kNormalRadio);
}

void MainWindow::OnCommand(int controlId) {
  switch (controlId) {
    case kIspButton:
      if (bench_.context.controllerCode == kVexa2860) {
        bench_.burn.StartBurn();
      } else {
        RunScope run(bench_.runs, RunCommand::kLegacy);
        bench_.legacy.LegacyDownload();
      }
      break;
    case kVersionButton: {
      RunScope run(bench_.runs, RunCommand::kVersions);
      bench_.commands.CheckVersions();
      break;
    }
    case kReadButton:
      bench_.sequencer.StartReadBackFromButton();
      break;
    case kMaskRadio:
    case kNormalRadio:
      OnModeRadio();
      break;
    case kNandRadio:
    case kRomRadio:
      OnMediaRadio();
      break;
    case kVexa611Radio:
      ChooseLegacyController(kVexa611Radio, kVexa611);
      break;
    case kVexa616Radio:
      ChooseLegacyController(kVexa616Radio, kVexa616);
      break;
    case kVexa618Radio:
      ChooseLegacyController(kVexa618Radio, kVexa618);
      break;
    default:
      break;
  }
}

void MainWindow::OnModeRadio() {
  Controls& controls = bench_.platform.controls;
  if (controls.IsChecked(kNandRadio) || controls.IsChecked(kRomRadio)) {
    controls.SetEnabled(kIspButton, true);
  }
}

void MainWindow::OnMediaRadio() {
  Controls& controls = bench_.platform.controls;
  const int code = bench_.context.controllerCode;
  const bool modeChosen = controls.IsChecked(kMaskRadio) || controls.IsChecked(kNormalRadio);
  if ((code == kVexa616 || code == kVexa618) && !modeChosen) return;
  controls.SetEnabled(kIspButton, true);
}

void MainWindow::ChooseLegacyController(int radio, int controllerCode) {
  Controls& controls = bench_.platform.controls;
  if (controls.IsChecked(radio)) bench_.context.controllerCode = controllerCode;
  for (const int id : {kMaskRadio, kNandRadio, kNormalRadio, kRomRadio}) {
    controls.SetChecked(id, false);
  }
  for (const int other : kLegacyRadios) {
    if (other != radio) controls.SetChecked(other, false);
  }
  // The VEXA611 needs no mode or media; the others cannot start without both.
  const bool needsModeAndMedia = radio != kVexa611Radio;
  controls.SetEnabled(kIspButton, !needsModeAndMedia);
  SetModeAndMediaEnabled(needsModeAndMedia);
}

void MainWindow::SetModeAndMediaEnabled(bool enabled) {
  for (const int radio : kModeAndMediaRadios) bench_.platform.controls.SetEnabled(radio, enabled);
}

std::string AboutVersionText(const ProductVersion& version) {
  if (version.Revision() != 0) {
    return Format("ZIV[%u.%u.%u.%u]", version.Major(), version.Minor(), version.Build(),
                  version.Revision());
  }
  return Format("ZIV Version %u.%u.%u", version.Major(), version.Minor(), version.Build());
}

}  // namespace bb
