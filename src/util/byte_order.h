#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace bb {

// Requests to the camera are little-endian; raw images and BRN files are
// big-endian. Buffers are never reinterpreted as structs.

inline void PutLe16(std::span<std::uint8_t> out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutLe32(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void PutLe64(std::span<std::uint8_t> out, std::size_t at, std::uint64_t value) {
  for (std::size_t i = 0; i < 8; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::uint16_t GetLe16(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

inline std::uint32_t GetLe32(std::span<const std::uint8_t> in, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
  return value;
}

inline std::uint64_t GetLe64(std::span<const std::uint8_t> in, std::size_t at) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < 8; ++i) value |= static_cast<std::uint64_t>(in[at + i]) << (8 * i);
  return value;
}

inline void PutBe16(std::span<std::uint8_t> out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value >> 8);
  out[at + 1] = static_cast<std::uint8_t>(value);
}

inline void PutBe32(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
}

inline std::uint16_t GetBe16(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>((in[at] << 8) | in[at + 1]);
}

inline std::uint32_t GetBe32(std::span<const std::uint8_t> in, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | in[at + i];
  return value;
}

}  // namespace bb
