#include "station/station_settings.h"

#include <charconv>
#include <memory>

#include "config/optional_value.h"
#include "util/format.h"

namespace bb {

namespace {

// Decimal, or hexadecimal with 0x, as the configuration's other numbers.
std::optional<std::int64_t> Number(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::int64_t value = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || problem != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace

bool ReadStationSettings(Profile& profile, const std::string& path, const std::string& hostName,
                         StationSettings& settings, std::string& error) {
  const std::unique_ptr<ProfileReading> reading = profile.Read(path);
  const std::optional<std::string> name = ReadOptionalString(*reading, "Station", "Name", 256);
  settings.name = name && !name->empty() ? *name : hostName;
  if (const std::optional<std::string> unplug =
          ReadOptionalString(*reading, "Station", "UnplugSeconds", 64)) {
    const std::optional<std::int64_t> seconds = Number(*unplug);
    if (!seconds || *seconds < kLeastUnplugSeconds || *seconds > kMostUnplugSeconds) {
      error = Format("UnplugSeconds in [Station] is %s; it must be from %u to %u", unplug->c_str(),
                     kLeastUnplugSeconds, kMostUnplugSeconds);
      return false;
    }
    settings.unplugSeconds = static_cast<std::uint32_t>(*seconds);
  }
  settings.verify = reading->ReadInt("Station", "Verify", 0) != 0;
  const std::optional<std::string> slots = ReadOptionalString(*reading, "Station", "Slots", kLongestProfileValue);
  if (slots) {
    std::string why;
    const std::optional<std::vector<SlotPlace>> parsed = ParseSlots(*slots, why);
    if (!parsed) {
      error = "Slots in [Station]: " + why;
      return false;
    }
    settings.slots = *parsed;
  }
  if (reading->Verdict() != ProfileReading::State::kWhole) {
    error = "cannot read " + path + " whole";
    return false;
  }
  return true;
}

}  // namespace bb
