#include "util/ini_integer.h"

#include <limits>

namespace bb {

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return -1;
}

}  // namespace

IniInteger ReadIniInteger(std::string_view text) {
  IniInteger number;
  std::size_t at = 0;
  while (at < text.size() && static_cast<unsigned char>(text[at]) <= ' ') ++at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    number.negative = text[at] == '-';
    ++at;
  }
  unsigned base = 10;
  if (text.size() - at >= 2 && text[at] == '0') {
    const char prefix = text[at + 1];
    base = prefix == 'b' ? 2 : prefix == 'o' ? 8 : prefix == 'x' ? 16 : 10;
    if (base != 10) at += 2;
  }
  constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
  for (; at < text.size(); ++at) {
    const int digit = DigitValue(text[at]);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) break;
    const auto value = static_cast<std::uint64_t>(digit);
    if (number.magnitude > (kMost - value) / base) number.overflowed = true;
    number.magnitude = number.magnitude * base + value;
  }
  return number;
}

std::int64_t SaturatedValue(const IniInteger& number) {
  constexpr auto kMost = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (number.negative) {
    if (number.overflowed || number.magnitude > kMost) return std::numeric_limits<std::int64_t>::min();
    return -static_cast<std::int64_t>(number.magnitude);
  }
  if (number.overflowed || number.magnitude > kMost) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(number.magnitude);
}

}  // namespace bb
