#include "config/int64_value.h"

#include "util/ini_integer.h"

namespace bb {

std::int64_t ReadInt64(Profile& profile, const std::string& path, std::string_view section,
                       std::string_view key, std::int64_t defaultValue) {
  // The integer reader of Windows looks at no more than 29 characters either.
  constexpr std::size_t kIntegerText = 30;
  const std::string text = profile.ReadString(path, section, key, "", kIntegerText);
  if (text.empty()) return defaultValue;
  return SaturatedValue(ReadIniInteger(text));
}

}  // namespace bb
