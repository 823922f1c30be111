#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace bb {

// A value in matching single or double quotes loses them, as Windows reads it.
std::string_view StripIniQuotes(std::string_view value);

// The integer that GetPrivateProfileInt makes of a value found in the file:
// an optional sign, then decimal, or hexadecimal, octal or binary after "0x",
// "0o" or "0b", up to the first character that does not belong, modulo 2^32.
// nullopt (the caller's default) when the value reads as empty.
std::optional<std::int32_t> ParseIniInt(std::string_view value);

}  // namespace bb
