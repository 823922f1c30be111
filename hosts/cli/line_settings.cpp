#include "line_settings.h"

#include <algorithm>
#include <memory>

#include "config/optional_value.h"
#include "util/connection_text.h"
#include "util/format.h"

namespace bb::cli {

namespace {

bool ReadMs(ProfileReading& reading, const char* key, std::uint32_t least, std::uint32_t most,
            std::uint32_t& into, std::string& error) {
  if (!ReadOptionalString(reading, "Line", key, 64)) return true;
  const std::int32_t value = reading.ReadInt("Line", key, -1);
  if (value < static_cast<std::int64_t>(least) || value > static_cast<std::int64_t>(most)) {
    error = Format("%s in [Line] must be from %u to %u milliseconds", key, least, most);
    return false;
  }
  into = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

std::string ConfiguredLine(Profile& profile, const std::string& iniPath) {
  const std::unique_ptr<ProfileReading> reading = profile.Read(iniPath);
  return ReadOptionalString(*reading, "Line", "Database", kLongestProfileValue).value_or("");
}

bool ReadLineSettings(const Options& options, Profile& profile, const std::string& iniPath, LineSettings& settings,
                      std::string& error) {
  const std::unique_ptr<ProfileReading> reading = profile.Read(iniPath);
  settings.database = !options.lineDatabase.empty()
                          ? options.lineDatabase
                          : ReadOptionalString(*reading, "Line", "Database", kLongestProfileValue).value_or("");
  if (!ReadMs(*reading, "TimeoutMs", 100, 600000, settings.timeoutMs, error) ||
      !ReadMs(*reading, "RetryMs", 10, 3600000, settings.pace.firstRetryMs, error)) {
    return false;
  }
  settings.pace.longestRetryMs = std::max<std::uint32_t>(settings.pace.firstRetryMs, 300000);
  if (ConnectionHasSecret(settings.database)) {
    error = "the line's connection string " + MaskConnectionSecrets(settings.database) +
            " holds a password: give it in the file PGPASSFILE names (by default ~/.pgpass), never in the "
            "connection string";
    return false;
  }
  return true;
}

}  // namespace bb::cli
