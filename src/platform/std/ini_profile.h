#pragma once

#include <cstdint>

#include "platform/profile.h"

namespace bb {

// INI files read and written in standard C++, with the behaviour of the
// Windows private-profile functions on what users write into them. Text is
// taken as UTF-8 (a byte order mark is skipped and kept). A file is read
// whole into memory, once for each reading. A write replaces the file whole
// (see ReplaceFileContent) and keeps every other line byte for byte.
class IniProfile final : public Profile {
 public:
  // A settings file holds a few kilobytes; a larger one is not a settings file,
  // and is treated as one that cannot be read rather than loaded whole.
  static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{16} << 20;

  std::int32_t ReadInt(const std::string& path, std::string_view section, std::string_view key,
                       std::int32_t defaultValue) override;
  std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view defaultValue, std::size_t capacity) override;
  std::unique_ptr<ProfileReading> Read(const std::string& path) override;
  bool WriteStrings(const std::string& path, std::span<const ProfileEntry> entries,
                    std::string& why) override;
};

}  // namespace bb
