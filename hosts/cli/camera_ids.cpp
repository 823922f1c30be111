#include "camera_ids.h"

#include "config/read_settings.h"
#include "config/usb_ids.h"
#include "util/format.h"

namespace bb::cli {

CameraIds ChooseCameraIds(const Options& options, Profile& profile, const std::string& iniPath) {
  CameraIds chosen;
  if (!options.usbIds.empty()) {
    chosen.ids = options.usbIds;
    return chosen;
  }
  Settings settings;
  ReadSettings(profile, iniPath, settings);
  std::string bad;
  const std::optional<std::vector<UsbId>> ids = ParseUsbIdList(settings.usbIds, bad);
  if (!ids) {
    chosen.problem = Format("burnbench-cli: [Usb] Ids in %s: \"%s\" is not a hexadecimal VID:PID\n",
                            iniPath.c_str(), bad.c_str());
  } else if (ids->empty()) {
    chosen.problem = Format(
        "burnbench-cli: no camera USB id is configured. Name the cameras' ids (hexadecimal, as\n"
        "lsusb shows them) with --usb-id VID:PID, or in %s:\n"
        "  [Usb]\n"
        "  Ids=VID:PID,VID:PID\n",
        iniPath.c_str());
  } else {
    chosen.ids = *ids;
  }
  return chosen;
}

}  // namespace bb::cli
