#include "device/request_block.h"


#include "util/byte_order.h"

namespace bb {

namespace {

void PutAddress(std::span<std::uint8_t> out, std::size_t at, const void* address) {
  const auto value = reinterpret_cast<std::uintptr_t>(address);
  if constexpr (RequestBlock::kAddressSize == 4) {
    PutLe32(out, at, static_cast<std::uint32_t>(value));
  } else {
    PutLe64(out, at, static_cast<std::uint64_t>(value));
  }
}

}  // namespace

std::array<std::uint8_t, RequestBlock::kSize> RequestBlock::Encode() const {
  std::array<std::uint8_t, kSize> bytes{};
  bytes[0] = bRequest;
  PutLe16(bytes, 2, wIndex);
  PutLe16(bytes, 4, wValue);
  PutAddress(bytes, kDataAddressOffset, dataAddress);
  PutAddress(bytes, kLengthAddressOffset, lengthAddress);
  bytes[kDirectionOffset] = direction;
  return bytes;
}

}  // namespace bb
