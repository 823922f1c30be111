#pragma once

#include <initializer_list>
#include <string_view>

namespace bb {

// The blanks that the Windows profile functions drop around names and values:
// ASCII white space and the DOS end-of-file mark that old editors left behind.
inline bool IsProfileBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

// Whether a key and value can be stored so that they read back as written and
// leave every other setting alone. A line break or NUL would end the line early
// and make the rest a line of its own (a path could add "[DevNo]" and "ChipID=");
// a key with '=' or one starting with '[' would read back as another key or as a
// section. The Windows functions write such entries anyway, so both back ends
// refuse them first.
inline bool IsWritableProfileEntry(std::string_view section, std::string_view key,
                                   std::string_view value) {
  constexpr std::string_view kLineEnders("\r\n\0", 3);
  for (const std::string_view text : {section, key, value}) {
    if (text.find_first_of(kLineEnders) != std::string_view::npos) return false;
  }
  if (key.find('=') != std::string_view::npos) return false;
  std::size_t first = 0;
  while (first < key.size() && IsProfileBlank(key[first])) ++first;
  return first == key.size() || key[first] != '[';
}

}  // namespace bb
