#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace bb {

// The block handed to the camera's driver with every vendor request. The driver
// reads the data-stage buffer and the length cell through the two addresses, in
// the calling thread's context.
//
// On 32-bit targets the addresses are 32 bits and the block is the driver's
// 20 bytes. A 64-bit build cannot squeeze its pointers into 32 bits, so there
// each address takes 8 bytes and everything after them moves along: the
// direction byte sits at offset 24 and the block is 28 bytes, the layout that a
// 64-bit build of the driver has to accept.
struct RequestBlock {
  static constexpr std::size_t kAddressSize = sizeof(void*);
  static constexpr std::size_t kDataAddressOffset = 8;
  static constexpr std::size_t kLengthAddressOffset = kDataAddressOffset + kAddressSize;
  static constexpr std::size_t kDirectionOffset = kLengthAddressOffset + kAddressSize;
  static constexpr std::size_t kSize = kDirectionOffset + 4;

  static constexpr std::uint8_t kHostToDevice = 0;
  static constexpr std::uint8_t kDeviceToHost = 1;

  std::uint8_t bRequest = 0;
  std::uint16_t wIndex = 0;
  std::uint16_t wValue = 0;
  const void* dataAddress = nullptr;
  const std::uint32_t* lengthAddress = nullptr;
  std::uint8_t direction = kHostToDevice;

  std::array<std::uint8_t, kSize> Encode() const;
};

static_assert(sizeof(void*) != 4 || RequestBlock::kSize == 20,
              "the driver takes a 20-byte block from 32-bit programs");

// I/O control codes of the driver (device type 0x22, buffered, any access).
inline constexpr std::uint32_t kIoctlVendorRequest = 0x22000C;
inline constexpr std::uint32_t kIoctlRequestNine = 0x220010;

}  // namespace bb
