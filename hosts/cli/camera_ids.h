#pragma once

#include <string>
#include <vector>

#include "cli_options.h"
#include "platform/profile.h"
#include "platform/usb_id.h"

namespace bb::cli {

// The USB ids of the cameras, where this build reaches cameras through
// libusb: nothing in a camera says that it is one.
struct CameraIds {
  std::vector<UsbId> ids;
  // Why no device command can run (no id configured, or an id that cannot be
  // read), as the message to show; empty when the ids are usable.
  std::string problem;
};

// The ids of --usb-id, which replace the list; else [Usb] Ids of the
// configuration file.
CameraIds ChooseCameraIds(const Options& options, Profile& profile, const std::string& iniPath);

}  // namespace bb::cli
