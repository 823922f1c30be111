#include "platform/std/ini_profile.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "platform/file_replace.h"
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

// Every key of it comes from the one text loaded when it was made.
class IniReading final : public ProfileReading {
 public:
  explicit IniReading(LoadedFile file) : file_(std::move(file)) {}

  std::int32_t ReadInt(std::string_view section, std::string_view key,
                       std::int32_t defaultValue) override {
    const std::optional<std::string_view> value = Find(section, key);
    if (!value) return defaultValue;
    return ParseIniInt(*value).value_or(defaultValue);
  }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue, std::size_t capacity) override {
    if (capacity == 0) return {};
    const std::optional<std::string_view> value = Find(section, key);
    return std::string(Utf8Prefix(value ? StripIniQuotes(*value) : defaultValue, capacity - 1));
  }

  State Verdict() override {
    return file_.state == LoadedFile::State::kUnusable ? State::kUnreadable : State::kWhole;
  }

 private:
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const {
    if (file_.state != LoadedFile::State::kRead) return std::nullopt;
    return FindIniValue(file_.text, section, key);
  }

  LoadedFile file_;
};

}  // namespace

std::int32_t IniProfile::ReadInt(const std::string& path, std::string_view section,
                                 std::string_view key, std::int32_t defaultValue) {
  return IniReading(Load(path)).ReadInt(section, key, defaultValue);
}

std::string IniProfile::ReadString(const std::string& path, std::string_view section,
                                   std::string_view key, std::string_view defaultValue,
                                   std::size_t capacity) {
  return IniReading(Load(path)).ReadString(section, key, defaultValue, capacity);
}

std::unique_ptr<ProfileReading> IniProfile::Read(const std::string& path) {
  return std::make_unique<IniReading>(Load(path));
}

bool IniProfile::WriteStrings(const std::string& path, std::span<const ProfileEntry> entries,
                              std::string& why) {
  for (const ProfileEntry& entry : entries) {
    if (!IsWritableProfileEntry(entry.section, entry.key, entry.value)) {
      why = "a key or value that would read back as another cannot be written";
      return false;
    }
  }
  LoadedFile file = Load(path);
  if (file.state == LoadedFile::State::kUnusable) {
    why = "it cannot be read";
    return false;
  }
  bool changed = false;
  for (const ProfileEntry& entry : entries) {
    changed = SetIniValue(file.text, entry.section, entry.key, entry.value) || changed;
  }
  return !changed || ReplaceFileContent(path, file.text, why);
}

}  // namespace bb
