#pragma once

#include <string>
#include <string_view>

namespace bb {

// Text is UTF-8 inside the program and UTF-16 at the Windows API.
std::wstring ToUtf16(std::string_view text);
std::string ToUtf8(std::wstring_view text);

}  // namespace bb
