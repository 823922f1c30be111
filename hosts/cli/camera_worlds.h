#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli_options.h"
#include "platform/camera_link.h"
#include "platform/usb_id.h"

namespace bb::cli {

// `count` simulated cameras at ports 1, 2, ... with the chosen faults and
// serial numbers; nullptr with the reason in `error` when one names no camera. Legacy cameras are
// VEXA611, VEXA616 or VEXA618. Each fault that fires is told, as a line
// "fault fired: NAME", to `tellFired`.
std::unique_ptr<CameraWorld> MakeSimulatedWorld(unsigned count, const std::vector<FaultChoice>& faults,
                                                const std::vector<SerialChoice>& serials, bool legacy,
                                                std::function<void(const std::string&)> tellFired,
                                                std::string& error);

// A link to no camera at all, for the commands that need none.
std::unique_ptr<CameraLink> MakeNoCamera();

// True where cameras are found by configured USB ids (libusb); the Windows
// driver knows its cameras itself.
bool DriverCamerasNeedIds();

// The real cameras.
std::unique_ptr<CameraWorld> MakeDriverWorld(const std::vector<UsbId>& ids);

}  // namespace bb::cli
