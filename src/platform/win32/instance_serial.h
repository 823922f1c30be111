#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bb {

// The USB serial number in a device interface path such as
// \\?\usb#vid_0c45&pid_2860#SERIAL#{cb519fa1-...}: the instance id part after
// the ids. Windows makes the instance id of the device's serial number when it
// has a valid one; otherwise the hub's driver makes one of the port it sits
// on, which always holds '&' (5&2a3b4c5d&0&2), as does the instance id of one
// interface of a composite device (vid_..&pid_..&mi_00): no serial then.
std::optional<std::string> SerialOfInterfacePath(std::string_view path);

}  // namespace bb
