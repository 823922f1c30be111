#pragma once

#include <string>

namespace bb {

#if defined(__MINGW32__) && !defined(__clang__)
// MinGW GCC checks against its own printf; clang knows only the standard one.
#define BB_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define BB_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

// printf-style formatting into a string, with the compiler checking the
// arguments. Texts that come from data are passed as arguments, never as format.
std::string Format(const char* format, ...) BB_PRINTF_FORMAT(1, 2);

}  // namespace bb
