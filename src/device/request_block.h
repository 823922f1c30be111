#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace bb {

// The block handed to the camera's driver with every vendor request. The driver
// reads the data-stage buffer and the length cell through the two addresses, in
// the calling thread's context.
//
// The driver's structure holds two pointers, so the block follows the
// program's pointer width, naturally aligned as a compiler lays the structure
// out. Little-endian throughout; every byte not named is zero.
//
//   field            32-bit   64-bit
//   bRequest         0        0
//   reserved         1        1
//   wIndex           2-3      2-3
//   wValue           4-5      4-5
//   reserved         6-7      6-7
//   data address     8-11     8-15
//   length address   12-15    16-23
//   direction        16       24
//   padding          17-19    25-31
//   size             20       32
//
// The 32-bit block is the 20 bytes the driver has always taken; a 64-bit
// build of the driver, compiled from the same structure, takes the 32 bytes.
template <std::size_t AddressWidth>
struct RequestBlockLayout {
  static constexpr std::size_t kAddressSize = AddressWidth;
  static constexpr std::size_t kDataAddressOffset = 8;
  static constexpr std::size_t kLengthAddressOffset = kDataAddressOffset + AddressWidth;
  static constexpr std::size_t kDirectionOffset = kLengthAddressOffset + AddressWidth;
  // A structure's size is a whole number of its widest member, the pointer.
  static constexpr std::size_t kSize =
      (kDirectionOffset + 1 + AddressWidth - 1) / AddressWidth * AddressWidth;
};

static_assert(RequestBlockLayout<4>::kSize == 20 && RequestBlockLayout<4>::kDirectionOffset == 16);
static_assert(RequestBlockLayout<8>::kSize == 32 && RequestBlockLayout<8>::kDirectionOffset == 24);

// The fields of one request, the addresses as numbers.
struct RequestBlockFields {
  std::uint8_t bRequest = 0;
  std::uint16_t wIndex = 0;
  std::uint16_t wValue = 0;
  std::uint64_t dataAddress = 0;
  std::uint64_t lengthAddress = 0;
  std::uint8_t direction = 0;
};

// The block's bytes in the layout of the given pointer width.
template <std::size_t AddressWidth>
std::array<std::uint8_t, RequestBlockLayout<AddressWidth>::kSize> EncodeRequestBlock(
    const RequestBlockFields& fields);

// A request block of this program, with its own pointer width.
struct RequestBlock : RequestBlockLayout<sizeof(void*)> {
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

// I/O control codes of the driver (device type 0x22, buffered, any access).
inline constexpr std::uint32_t kIoctlVendorRequest = 0x22000C;
inline constexpr std::uint32_t kIoctlRequestNine = 0x220010;

}  // namespace bb
