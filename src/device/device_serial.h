#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bb {

// A USB string descriptor holds at most 126 UTF-16 code units.
inline constexpr std::size_t kMaxSerialUnits = 126;

// A serial number as the tool keeps it: the device's text, UTF-8 as read,
// cut to what a string descriptor can hold, never inside a character. Bytes
// that are not UTF-8 stay as they are and count a unit each.
std::string BoundedSerial(std::string_view serial);

}  // namespace bb
