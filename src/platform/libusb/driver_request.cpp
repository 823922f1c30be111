#include "platform/libusb/driver_request.h"

#include <libusb.h>

#include "util/byte_order.h"

namespace bb {

namespace {

// The block's fixed fields come first; the two addresses take the width of a
// pointer of this build, and the direction byte follows them.
constexpr std::size_t kAddressWidth = sizeof(void*);
constexpr std::size_t kDataAddressAt = 8;
constexpr std::size_t kLengthAddressAt = kDataAddressAt + kAddressWidth;
constexpr std::size_t kDirectionAt = kLengthAddressAt + kAddressWidth;

std::uintptr_t AddressAt(std::span<const std::uint8_t> block, std::size_t at) {
  if constexpr (kAddressWidth == 4) return GetLe32(block, at);
  return static_cast<std::uintptr_t>(GetLe64(block, at));
}

}  // namespace

std::optional<DriverRequest> DecodeDriverRequest(std::span<const std::uint8_t> block) {
  if (block.size() <= kDirectionAt) return std::nullopt;
  const std::uint8_t direction = block[kDirectionAt];
  if (direction > 1) return std::nullopt;
  DriverRequest request;
  const unsigned vendorToDevice = static_cast<unsigned>(LIBUSB_REQUEST_TYPE_VENDOR) |
                                  static_cast<unsigned>(LIBUSB_RECIPIENT_DEVICE);
  const unsigned way = direction == 1 ? static_cast<unsigned>(LIBUSB_ENDPOINT_IN)
                                      : static_cast<unsigned>(LIBUSB_ENDPOINT_OUT);
  request.requestType = static_cast<std::uint8_t>(vendorToDevice | way);
  request.bRequest = block[0];
  request.wIndex = GetLe16(block, 2);
  request.wValue = GetLe16(block, 4);
  const auto* lengthCell = reinterpret_cast<const std::uint32_t*>(AddressAt(block, kLengthAddressAt));
  // Only the low 16 bits of the cell are the length.
  request.wLength = lengthCell == nullptr ? 0 : static_cast<std::uint16_t>(*lengthCell & 0xFFFFu);
  request.data = reinterpret_cast<std::uint8_t*>(AddressAt(block, kDataAddressAt));
  if (request.wLength > 0 && request.data == nullptr) return std::nullopt;
  return request;
}

}  // namespace bb
