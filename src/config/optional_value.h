#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/profile.h"

namespace bb {

// The longest value the Windows profile functions return. Values that must
// not be cut (paths, pins) are read at this length.
inline constexpr std::size_t kLongestProfileValue = 32767;

// The text of a key, or nullopt when the file has no such key. An empty value
// is a value: a key that is there but says nothing is not the same as no key.
std::optional<std::string> ReadOptionalString(ProfileReading& reading, std::string_view section,
                                              std::string_view key, std::size_t capacity);

// Whether the keys read through `reading` can be used: a file that could not be
// read may hold a pin that would read as none, and one that changed while it
// was read may have given keys of two versions. Logs why not; `path` names the
// file.
bool ReadWhole(ProfileReading& reading, const std::string& path, Console& console);

}  // namespace bb
