#pragma once

#include <memory>

#include "platform/camera_link.h"
#include "sim/shared_bus.h"

namespace bb::cli {

// A session's link to simulated cameras: its own connection to their bus, on
// which a camera that restarted comes back once the session waits for it.
std::unique_ptr<CameraLink> MakeSimulatedLink(std::unique_ptr<sim::SharedBus::Connection> connection);

}  // namespace bb::cli
