#pragma once

#include <cstddef>
#include <string_view>

namespace bb {

// The longest start of `text` that fits in maxBytes without ending inside a
// UTF-8 sequence: half a character would show as garbage in a path or caption.
// Text that is not UTF-8 is cut at maxBytes.
inline std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  for (std::size_t back = 1; back <= 3 && back <= maxBytes; ++back) {
    const auto byte = static_cast<unsigned char>(text[maxBytes - back]);
    if ((byte & 0xC0) == 0x80) continue;
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return text.substr(0, length > back ? maxBytes - back : maxBytes);
  }
  return text.substr(0, maxBytes);
}

}  // namespace bb
