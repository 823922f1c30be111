#include "config/int64_value.h"

#include "util/ini_integer.h"

namespace bb {

namespace {

// The integer reader of Windows looks at no more than 29 characters either.
constexpr std::size_t kIntegerText = 30;

std::int64_t ValueOf(const std::string& text, std::int64_t defaultValue) {
  if (text.empty()) return defaultValue;
  return SaturatedValue(ReadIniInteger(text));
}

}  // namespace

std::int64_t ReadInt64(Profile& profile, const std::string& path, std::string_view section,
                       std::string_view key, std::int64_t defaultValue) {
  return ValueOf(profile.ReadString(path, section, key, "", kIntegerText), defaultValue);
}

std::int64_t ReadInt64(ProfileReading& reading, std::string_view section, std::string_view key,
                       std::int64_t defaultValue) {
  return ValueOf(reading.ReadString(section, key, "", kIntegerText), defaultValue);
}

}  // namespace bb
