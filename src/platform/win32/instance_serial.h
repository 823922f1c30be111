#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bb {

// The USB serial number in a device instance id such as
// USB\VID_0C45&PID_2860\SERIAL: the part after the ids. Windows makes that part
// of the device's serial number when it has a valid one; otherwise the hub's
// driver makes one of the port it sits on, which always holds '&'
// (5&2A3B4C5D&0&2), as does the id of one interface of a composite device
// (USB\VID_0C45&PID_2860&MI_00\...): no serial number then.
std::optional<std::string> SerialOfInstanceId(std::string_view instanceId);

}  // namespace bb
