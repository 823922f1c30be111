#pragma once

#include <cstddef>

namespace bb::sim {

// The request block as the camera's driver takes it, stated from the driver's
// own structure and not taken from the tool: two pointers in it, so 20 bytes
// from a 32-bit program and 32 bytes from a 64-bit one (8-byte pointers,
// natural alignment). Every byte that is not a field is zero.
struct DriverBlockLayout {
  std::size_t size;
  std::size_t addressWidth;
  std::size_t dataAddressAt;
  std::size_t lengthAddressAt;
  std::size_t directionAt;
};

inline constexpr DriverBlockLayout kDriverBlock32{20, 4, 8, 12, 16};
inline constexpr DriverBlockLayout kDriverBlock64{32, 8, 8, 16, 24};

// The simulated driver runs in the tool's own process and reads the tool's
// memory through the addresses, so it takes the block of that pointer width.
inline constexpr DriverBlockLayout kDriverBlock =
    sizeof(void*) == 4 ? kDriverBlock32 : kDriverBlock64;

}  // namespace bb::sim
