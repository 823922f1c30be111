#pragma once

#include <cstdint>

namespace bb {

// A USB vendor and product id pair. Nothing in a camera's descriptors says
// that it is one, so the ids of the cameras are configured.
struct UsbId {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;

  friend bool operator==(const UsbId&, const UsbId&) = default;
};

}  // namespace bb
