#include "config/optional_value.h"

#include "util/format.h"

namespace bb {

std::optional<std::string> ReadOptionalString(ProfileReading& reading, std::string_view section,
                                              std::string_view key, std::size_t capacity) {
  // The profile functions hand back the default for a missing key; only a
  // missing key gives back each of two different defaults.
  const std::string first = reading.ReadString(section, key, "0", capacity);
  if (first != "0") return first;
  const std::string second = reading.ReadString(section, key, "1", capacity);
  if (second == "1") return std::nullopt;
  return first;
}

bool ReadWhole(ProfileReading& reading, const std::string& path, Console& console) {
  switch (reading.Verdict()) {
    case ProfileReading::State::kWhole:
      return true;
    case ProfileReading::State::kUnreadable:
      console.AddLogLine(Format("Cannot read %s !!!", path.c_str()));
      return false;
    case ProfileReading::State::kChanged:
      console.AddLogLine(Format("%s changed while it was read !!!", path.c_str()));
      return false;
  }
  return false;
}

}  // namespace bb
