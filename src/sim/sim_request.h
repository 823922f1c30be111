#pragma once

#include <cstdint>
#include <vector>

namespace bb::sim {

// A vendor request as the simulated driver decoded it from the request block.
struct SimRequest {
  std::uint32_t ioctl = 0;
  std::uint8_t bRequest = 0;
  std::uint16_t wValue = 0;
  std::uint16_t wIndex = 0;
  std::uint16_t wLength = 0;
  std::uint8_t direction = 0;
  // The bytes of the block exactly as the tool handed them over.
  std::vector<std::uint8_t> block;
  // Host-to-device: the data stage the tool sent. Device-to-host: the answer.
  std::vector<std::uint8_t> data;
};

}  // namespace bb::sim
