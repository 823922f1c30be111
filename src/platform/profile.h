#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace bb {

// INI files with the behaviour of the Windows private-profile functions, which
// users' existing Isp.ini files were written for. Paths and text are UTF-8.
// User-interface thread only.
class Profile {
 public:
  virtual ~Profile() = default;

  // The integer value of the key, read as GetPrivateProfileInt reads it; the
  // default when the file, the section or the key is missing or the value empty.
  virtual std::int32_t ReadInt(const std::string& path, std::string_view section,
                               std::string_view key, std::int32_t defaultValue) = 0;

  // The text value of the key, or the default, cut to at most capacity - 1
  // bytes (a buffer of `capacity` bytes with its terminator).
  virtual std::string ReadString(const std::string& path, std::string_view section,
                                 std::string_view key, std::string_view defaultValue,
                                 std::size_t capacity) = 0;

  // Adds or replaces one key; every other line of the file stays as it was.
  // Creates the file and the section when they are missing. False on failure.
  virtual bool WriteString(const std::string& path, std::string_view section,
                           std::string_view key, std::string_view value) = 0;
};

}  // namespace bb
