#pragma once

#include <array>
#include <cstdint>

namespace bb {

// A GUID in the Windows layout (Data1..Data4), kept as plain values so that the
// core does not need the Windows headers.
struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::array<std::uint8_t, 8> data4;

  friend bool operator==(const Guid&, const Guid&) = default;
};

}  // namespace bb
