#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/profile.h"

namespace bb {

// The longest value the Windows profile functions return. Values that must
// not be cut (paths, pins) are read at this length.
inline constexpr std::size_t kLongestProfileValue = 32767;

// The text of a key, or nullopt when the file has no such key. An empty value
// is a value: a key that is there but says nothing is not the same as no key.
std::optional<std::string> ReadOptionalString(Profile& profile, const std::string& path,
                                              std::string_view section, std::string_view key,
                                              std::size_t capacity);

}  // namespace bb
