#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace bb::record {

// A request block as the camera's driver reads it: the fixed fields, then the
// data-stage buffer and the length cell behind two addresses of this process.
// The addresses mean nothing outside the process, so a recording keeps the
// block in the driver's 32-bit layout with both addresses zero, whatever the
// pointer width of the program that made it: bRequest, a reserved byte,
// wIndex, wValue, two reserved bytes, eight zero bytes, the direction byte and
// the three reserved bytes after it.
struct RequestView {
  std::vector<std::uint8_t> block;  // 20 bytes as above; a block too short to read, as given
  std::uint32_t lengthCell = 0;
  std::uint8_t* data = nullptr;

  std::uint16_t Length() const { return static_cast<std::uint16_t>(lengthCell & 0xFFFFu); }
  bool DeviceToHost() const { return block.size() == 20 && block[16] == 1; }
  // The data stage's bytes in the tool's buffer; empty without a buffer.
  std::span<std::uint8_t> Stage() const {
    return data == nullptr ? std::span<std::uint8_t>() : std::span<std::uint8_t>(data, Length());
  }
};

// The view of a block that this process's request code built.
RequestView ViewRequest(std::span<const std::uint8_t> block);

}  // namespace bb::record
