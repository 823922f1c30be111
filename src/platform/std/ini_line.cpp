#include "platform/std/ini_line.h"

#include <algorithm>

#include "platform/profile_format.h"

namespace bb {

namespace {

std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsProfileBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string_view IniLine::Value(std::string_view text) const {
  if (valueBegin == kNoValue) return {};
  return CutAtNul(text.substr(valueBegin, contentEnd - valueBegin));
}

bool IniLineReader::Next(IniLine& line) {
  if (next_ >= text_.size()) return false;
  line = IniLine{};
  line.breakBegin = std::min(text_.find_first_of("\r\n", next_), text_.size());
  line.end = line.breakBegin;
  if (line.end < text_.size()) {
    const bool crLf =
        text_[line.end] == '\r' && line.end + 1 < text_.size() && text_[line.end + 1] == '\n';
    line.end += crLf ? 2 : 1;
  }

  std::size_t first = next_;
  next_ = line.end;
  while (first < line.breakBegin && IsProfileBlank(text_[first])) ++first;
  std::size_t last = line.breakBegin;
  while (last > first && IsProfileBlank(text_[last - 1])) --last;
  line.contentEnd = last;
  if (first == last) return true;

  const std::string_view content = text_.substr(first, last - first);
  // A section header runs to the last ']' of the line; a '[' without one is a key.
  if (content.front() == '[') {
    const std::size_t close = content.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      line.kind = IniLine::Kind::kSection;
      line.name = CutAtNul(TrimBlanks(content.substr(1, close - 1)));
      return true;
    }
  }

  line.kind = IniLine::Kind::kEntry;
  const std::size_t equals = content.find('=');
  line.nameEnd = equals == std::string_view::npos ? last : first + equals;
  while (line.nameEnd > first && IsProfileBlank(text_[line.nameEnd - 1])) --line.nameEnd;
  line.name = CutAtNul(text_.substr(first, line.nameEnd - first));
  if (equals != std::string_view::npos) {
    line.valueBegin = first + equals + 1;
    while (line.valueBegin < last && IsProfileBlank(text_[line.valueBegin])) ++line.valueBegin;
  }
  return true;
}

std::string_view NormalizeIniName(std::string_view name) { return TrimBlanks(CutAtNul(name)); }

bool IniNamesEqual(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

}  // namespace bb
