#include "platform/std/ini_value.h"

#include "util/ini_integer.h"

namespace bb {

namespace {

bool IsQuoted(std::string_view value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
         value.back() == value.front();
}

}  // namespace

std::string_view StripIniQuotes(std::string_view value) {
  return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

std::optional<std::int32_t> ParseIniInt(std::string_view value) {
  // Windows reads the text into a buffer of 30 characters first. It drops a
  // closing quote by shortening the copy, so a quoted value that just fills
  // the buffer loses its last character instead.
  constexpr std::size_t kBufferChars = 30;
  const bool quoted = IsQuoted(value);
  const std::string_view inner = quoted ? value.substr(1) : value;
  std::string_view copied = inner.substr(0, kBufferChars - 1);
  if (quoted && inner.size() <= kBufferChars) copied.remove_suffix(1);
  if (copied.empty()) return std::nullopt;
  const IniInteger number = ReadIniInteger(copied);
  const auto low = static_cast<std::uint32_t>(number.magnitude);
  return static_cast<std::int32_t>(number.negative ? 0u - low : low);
}

}  // namespace bb
