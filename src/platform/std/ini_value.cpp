#include "platform/std/ini_value.h"

namespace bb {

namespace {

bool IsQuoted(std::string_view value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
         value.back() == value.front();
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return -1;
}

// The number conversion that the Windows integer reader ends in, with its
// automatic base. Only lower-case prefixes count: "0X1F" reads as 0.
std::int32_t ConvertInteger(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && static_cast<unsigned char>(text[at]) <= ' ') ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  int base = 10;
  if (text.size() - at >= 2 && text[at] == '0') {
    const char prefix = text[at + 1];
    base = prefix == 'b' ? 2 : prefix == 'o' ? 8 : prefix == 'x' ? 16 : 10;
    if (base != 10) at += 2;
  }
  std::uint32_t total = 0;
  for (; at < text.size(); ++at) {
    const int digit = DigitValue(text[at]);
    if (digit < 0 || digit >= base) break;
    total = total * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(negative ? 0u - total : total);
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
  return ConvertInteger(copied);
}

}  // namespace bb
