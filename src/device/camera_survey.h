#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/device_transport.h"

namespace bb {

// A camera interface present on the bus: where it is plugged in (empty when
// the transport cannot tell), its interface path (empty when its detail
// cannot be read) and its USB serial number (empty for none).
struct AttachedCamera {
  std::string location;
  std::string path;
  std::string serial;
};

// Every interface of the camera's class present now, in enumeration order.
// Nothing is claimed: a serial number is read without a claim.
std::vector<AttachedCamera> ListCameras(DeviceTransport& transport);

// A location that more than one of the cameras reports, the first such; a
// driver that tells only a hub's port number, say, reports one for cameras on
// different hubs. Sessions bound to it would share whichever camera they find.
std::optional<std::string> RepeatedLocation(const std::vector<AttachedCamera>& cameras);

}  // namespace bb
