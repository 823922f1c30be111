#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bb {

// Finding and changing one key in the text of an INI file the way the Windows
// profile functions do: only the first section of a name and the first key of
// a name in it count, and keys before the first header form the nameless
// section "". A UTF-8 byte order mark is skipped and kept.

// The raw value, blanks dropped and cut at a NUL (quotes are still on it);
// nullopt when there is no such key or its line has no '='.
std::optional<std::string_view> FindIniValue(std::string_view text, std::string_view section,
                                             std::string_view key);

// Sets the value, changing the key's line alone, or adds the key behind the
// last line of its section, or adds the section at the end. A new key's line
// ends like the line before it, other new lines like the file's first line (CR
// LF in a file without one). Returns false when the key already holds the
// value and nothing was changed. The entry must pass IsWritableProfileEntry.
bool SetIniValue(std::string& text, std::string_view section, std::string_view key,
                 std::string_view value);

}  // namespace bb
