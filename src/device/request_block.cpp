#include "device/request_block.h"

#include "util/byte_order.h"

namespace bb {

template <std::size_t AddressWidth>
std::array<std::uint8_t, RequestBlockLayout<AddressWidth>::kSize> EncodeRequestBlock(
    const RequestBlockFields& fields) {
  using Layout = RequestBlockLayout<AddressWidth>;
  std::array<std::uint8_t, Layout::kSize> bytes{};
  bytes[0] = fields.bRequest;
  PutLe16(bytes, 2, fields.wIndex);
  PutLe16(bytes, 4, fields.wValue);
  if constexpr (AddressWidth == 4) {
    PutLe32(bytes, Layout::kDataAddressOffset, static_cast<std::uint32_t>(fields.dataAddress));
    PutLe32(bytes, Layout::kLengthAddressOffset, static_cast<std::uint32_t>(fields.lengthAddress));
  } else {
    PutLe64(bytes, Layout::kDataAddressOffset, fields.dataAddress);
    PutLe64(bytes, Layout::kLengthAddressOffset, fields.lengthAddress);
  }
  bytes[Layout::kDirectionOffset] = fields.direction;
  return bytes;
}

template std::array<std::uint8_t, 20> EncodeRequestBlock<4>(const RequestBlockFields&);
template std::array<std::uint8_t, 32> EncodeRequestBlock<8>(const RequestBlockFields&);

std::array<std::uint8_t, RequestBlock::kSize> RequestBlock::Encode() const {
  RequestBlockFields fields;
  fields.bRequest = bRequest;
  fields.wIndex = wIndex;
  fields.wValue = wValue;
  fields.dataAddress = reinterpret_cast<std::uintptr_t>(dataAddress);
  fields.lengthAddress = reinterpret_cast<std::uintptr_t>(lengthAddress);
  fields.direction = direction;
  return EncodeRequestBlock<kAddressSize>(fields);
}

}  // namespace bb
