#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/profile.h"

namespace bb {

// The integer value of a key as Profile::ReadInt reads it, but in 64 bits:
// -1 stays -1 instead of passing for 4294967295, and 4294967296 does not
// wrap to 0. Digits beyond 64 bits hold the value at the nearest end. The
// default when the key is missing or its value empty.
std::int64_t ReadInt64(Profile& profile, const std::string& path, std::string_view section,
                       std::string_view key, std::int64_t defaultValue);
std::int64_t ReadInt64(ProfileReading& reading, std::string_view section, std::string_view key,
                       std::int64_t defaultValue);

}  // namespace bb
