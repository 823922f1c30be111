#pragma once

#include <cstdint>
#include <string_view>

namespace bb {

// The number in an integer value of Isp.ini, read as the Windows profile
// functions read it: leading blanks, an optional sign, then decimal, or
// hexadecimal, octal or binary after "0x", "0o" or "0b" (lower case only), up
// to the first character that does not belong. The magnitude is kept modulo
// 2^64, so its low 32 bits are what the 32-bit reader makes of it.
struct IniInteger {
  bool negative = false;
  std::uint64_t magnitude = 0;
  bool overflowed = false;  // the digits needed more than 64 bits
};
IniInteger ReadIniInteger(std::string_view text);

// The value in 64 bits, held at the nearest end when it does not fit.
std::int64_t SaturatedValue(const IniInteger& number);

}  // namespace bb
