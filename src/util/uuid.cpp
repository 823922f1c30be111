#include "util/uuid.h"

#include <random>

namespace bb {

std::string UuidText(UuidBytes bytes, std::uint8_t version) {
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0Fu) | (version << 4));
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3Fu) | 0x80u);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0Fu];
  }
  return text;
}

std::string RandomUuid() {
  // Drawn from the system's entropy for each id: runs of several programs
  // started at the same moment must never share one.
  std::random_device entropy;
  UuidBytes bytes{};
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    const std::uint32_t word = entropy();
    for (std::size_t j = 0; j < 4; ++j) bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
  }
  return UuidText(bytes, 4);
}

}  // namespace bb
