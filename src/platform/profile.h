#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace bb {

// Keys read from one state of a file: a job and the pins of its images must
// not come half from one version of the file and half from the next.
class ProfileReading {
 public:
  enum class State {
    kWhole,       // every key read came from one state of the file (none: no file)
    kUnreadable,  // the file is there but could not be read; its keys read as missing
    kChanged,     // the file changed while its keys were read
  };

  virtual ~ProfileReading() = default;

  // As Profile::ReadInt and Profile::ReadString, for the file of the reading.
  virtual std::int32_t ReadInt(std::string_view section, std::string_view key,
                               std::int32_t defaultValue) = 0;
  virtual std::string ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue, std::size_t capacity) = 0;

  // What the keys read so far are worth; asked after the last of them.
  virtual State Verdict() = 0;
};

// One key to write: see Profile::WriteStrings.
struct ProfileEntry {
  std::string_view section;
  std::string_view key;
  std::string_view value;
};

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

  // A reading of the file for keys that belong together. Where the platform
  // reads the file once for it (ours), every key comes from that one state;
  // where each key is read from the file on its own (Windows), the reading
  // notices a file that changed meanwhile.
  virtual std::unique_ptr<ProfileReading> Read(const std::string& path) = 0;

  // Adds or replaces the keys; every other line of the file stays as it was.
  // Creates the file and the sections when they are missing. Our own profile
  // writes them all in one replacement of the file, so that a failed write
  // leaves the file as it was; Windows writes key by key. False on failure,
  // with `why` in words for the operator.
  virtual bool WriteStrings(const std::string& path, std::span<const ProfileEntry> entries,
                            std::string& why) = 0;

  // One key, for writers that need not say why a write failed.
  bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) {
    const ProfileEntry entry{section, key, value};
    std::string why;
    return WriteStrings(path, std::span(&entry, 1), why);
  }
};

}  // namespace bb
