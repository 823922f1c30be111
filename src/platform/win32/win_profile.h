#pragma once

#include "platform/profile.h"

namespace bb {

// The Windows private-profile functions (the W versions), which existing
// Isp.ini files were written for, in the ANSI code page or in Unicode.
class WinProfile final : public Profile {
 public:
  std::int32_t ReadInt(const std::string& path, std::string_view section, std::string_view key,
                       std::int32_t defaultValue) override;
  std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view defaultValue, std::size_t capacity) override;
  // Notes the file's size and time of last change before the first key and
  // compares them once the keys are read.
  std::unique_ptr<ProfileReading> Read(const std::string& path) override;
  // Key by key, as the system writes them; a failure stops at its key.
  bool WriteStrings(const std::string& path, std::span<const ProfileEntry> entries,
                    std::string& why) override;
};

}  // namespace bb
