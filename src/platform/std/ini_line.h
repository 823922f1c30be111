#pragma once

#include <cstddef>
#include <string_view>

namespace bb {

// One line of an INI file as the Windows profile functions see it. Offsets
// point into the whole text, so that a write can replace exactly one part.
struct IniLine {
  enum class Kind { kBlank, kSection, kEntry };
  static constexpr std::size_t kNoValue = std::string_view::npos;

  Kind kind = Kind::kBlank;
  // The section or key name with its blanks dropped, then cut at a NUL (the
  // Windows functions hold names as terminated strings).
  std::string_view name;
  std::size_t nameEnd = 0;            // after the key name, before its blanks
  std::size_t valueBegin = kNoValue;  // after '=' and the blanks behind it
  std::size_t contentEnd = 0;         // before the blanks that end the line
  std::size_t breakBegin = 0;         // the line break: CR LF, LF or CR alone
  std::size_t end = 0;                // where the next line begins

  // An entry's value with its blanks dropped, cut at a NUL.
  std::string_view Value(std::string_view text) const;
};

// Walks the lines of an INI text without copying it: files of any length are
// read in constant memory.
class IniLineReader {
 public:
  IniLineReader(std::string_view text, std::size_t start) : text_(text), next_(start) {}

  bool Next(IniLine& line);

 private:
  std::string_view text_;
  std::size_t next_;
};

// The name as the Windows functions compare it: cut at a NUL, blanks dropped.
std::string_view NormalizeIniName(std::string_view name);

// Names match without regard to ASCII case; other letters must be equal.
bool IniNamesEqual(std::string_view a, std::string_view b);

}  // namespace bb
