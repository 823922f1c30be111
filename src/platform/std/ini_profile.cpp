#include "platform/std/ini_profile.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "platform/profile_format.h"
#include "platform/std/ini_text.h"
#include "platform/std/ini_value.h"
#include "util/paths.h"
#include "util/regular_file.h"
#include "util/utf8.h"

namespace bb {

namespace {

struct LoadedFile {
  enum class State { kRead, kMissing, kUnusable };
  State state = State::kUnusable;
  std::string text;
};

LoadedFile Load(const std::string& path) {
  const std::filesystem::path file = FsPath(path);
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(file, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return {LoadedFile::State::kMissing, {}};
  }
  // Folders, devices and pipes are not settings files; reading a pipe could block for ever.
  std::ifstream in;
  if (error || !OpenRegularFile(path, in)) return {};
  // Read up to the real end rather than to a size taken beforehand, so a
  // write never stores back a file that was read only in part.
  LoadedFile loaded{LoadedFile::State::kRead, {}};
  std::array<char, 16384> chunk;
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    const auto count = static_cast<std::size_t>(in.gcount());
    if (loaded.text.size() + count > IniProfile::kMaxFileBytes) return {};
    loaded.text.append(chunk.data(), count);
  }
  if (in.bad()) return {};
  return loaded;
}

bool Store(const std::string& path, const std::string& text) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return !out.fail();
}

std::optional<std::string_view> FindValue(const LoadedFile& file, std::string_view section,
                                          std::string_view key) {
  if (file.state != LoadedFile::State::kRead) return std::nullopt;
  return FindIniValue(file.text, section, key);
}

}  // namespace

std::int32_t IniProfile::ReadInt(const std::string& path, std::string_view section,
                                 std::string_view key, std::int32_t defaultValue) {
  const LoadedFile file = Load(path);
  const std::optional<std::string_view> value = FindValue(file, section, key);
  if (!value) return defaultValue;
  return ParseIniInt(*value).value_or(defaultValue);
}

std::string IniProfile::ReadString(const std::string& path, std::string_view section,
                                   std::string_view key, std::string_view defaultValue,
                                   std::size_t capacity) {
  if (capacity == 0) return {};
  const LoadedFile file = Load(path);
  const std::optional<std::string_view> value = FindValue(file, section, key);
  return std::string(Utf8Prefix(value ? StripIniQuotes(*value) : defaultValue, capacity - 1));
}

bool IniProfile::WriteString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view value) {
  if (!IsWritableProfileEntry(section, key, value)) return false;
  LoadedFile file = Load(path);
  if (file.state == LoadedFile::State::kUnusable) return false;
  if (!SetIniValue(file.text, section, key, value)) return true;
  return Store(path, file.text);
}

}  // namespace bb
