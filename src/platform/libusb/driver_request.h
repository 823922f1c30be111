#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace bb {

// A vendor request as the camera's driver takes it from the tool: the request
// block, read at the offsets this build's core writes it. The data and length
// addresses point into this process, as they do for the driver.
struct DriverRequest {
  std::uint8_t requestType = 0;  // bmRequestType: vendor, device, direction
  std::uint8_t bRequest = 0;
  std::uint16_t wValue = 0;
  std::uint16_t wIndex = 0;
  std::uint16_t wLength = 0;
  std::uint8_t* data = nullptr;
};

// The driver's two I/O controls; both carry one vendor request.
inline constexpr std::uint32_t kDriverIoctlRequest = 0x22000C;
inline constexpr std::uint32_t kDriverIoctlRequestNine = 0x220010;

// nullopt for a block that names no usable request: too short, an unknown
// direction, or a data stage without a buffer.
std::optional<DriverRequest> DecodeDriverRequest(std::span<const std::uint8_t> block);

}  // namespace bb
