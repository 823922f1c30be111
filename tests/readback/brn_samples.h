#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/sim_raw_image.h"

namespace bb::test {

// Bytes counting up from `first`, so that data copied from the wrong place or
// in the wrong order shows.
inline std::vector<std::uint8_t> CountingBytes(std::size_t count, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

// Both groups in use, an entry without data among them, ids on both sides of 0x80.
inline sim::ImageContent SampleImage() {
  return sim::ImageContent{
      {{0x05, CountingBytes(3, 0xA0)}, {0x7F, CountingBytes(7, 0xB0)}},
      {{0x80, CountingBytes(2, 0xC0)}, {0x81, {}}, {0x123, CountingBytes(5, 0xD0)}},
      CountingBytes(20, 0x10)};
}

}  // namespace bb::test
