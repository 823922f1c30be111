#include "platform/record/request_view.h"

#include <algorithm>

#include "util/byte_order.h"

namespace bb::record {

namespace {

constexpr std::size_t kAddressWidth = sizeof(void*);
constexpr std::size_t kDataAddressAt = 8;
constexpr std::size_t kLengthAddressAt = kDataAddressAt + kAddressWidth;
constexpr std::size_t kDirectionAt = kLengthAddressAt + kAddressWidth;
constexpr std::size_t kReadableSize = kDirectionAt + 4;

std::uintptr_t AddressAt(std::span<const std::uint8_t> block, std::size_t at) {
  if constexpr (kAddressWidth == 4) return GetLe32(block, at);
  return static_cast<std::uintptr_t>(GetLe64(block, at));
}

}  // namespace

RequestView ViewRequest(std::span<const std::uint8_t> block) {
  RequestView view;
  if (block.size() < kReadableSize) {
    view.block.assign(block.begin(), block.end());
    return view;
  }
  view.block.assign(20, 0);
  std::copy_n(block.begin(), kDataAddressAt, view.block.begin());
  std::copy_n(block.begin() + kDirectionAt, 4, view.block.begin() + 16);
  view.data = reinterpret_cast<std::uint8_t*>(AddressAt(block, kDataAddressAt));
  const auto* lengthCell = reinterpret_cast<const std::uint32_t*>(AddressAt(block, kLengthAddressAt));
  view.lengthCell = lengthCell == nullptr ? 0 : *lengthCell;
  return view;
}

}  // namespace bb::record
