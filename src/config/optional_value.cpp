#include "config/optional_value.h"

namespace bb {

std::optional<std::string> ReadOptionalString(Profile& profile, const std::string& path,
                                              std::string_view section, std::string_view key,
                                              std::size_t capacity) {
  // The profile functions hand back the default for a missing key; only a
  // missing key gives back each of two different defaults.
  const std::string first = profile.ReadString(path, section, key, "0", capacity);
  if (first != "0") return first;
  const std::string second = profile.ReadString(path, section, key, "1", capacity);
  if (second == "1") return std::nullopt;
  return first;
}

}  // namespace bb
