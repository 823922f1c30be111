#pragma once

#include <string>
#include <vector>

#include "platform/device_transport.h"

namespace bb {

// A camera interface present on the bus: where it is plugged in (empty when
// the transport cannot tell) and its interface path (empty when its detail
// cannot be read).
struct AttachedCamera {
  std::string location;
  std::string path;
};

// Every interface of the camera's class present now, in enumeration order.
// Nothing is opened.
std::vector<AttachedCamera> ListCameras(DeviceTransport& transport);

}  // namespace bb
