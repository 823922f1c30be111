#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace bb {

using UuidBytes = std::array<std::uint8_t, 16>;

// `bytes` as a UUID of `version` (RFC 4122 variant), in lower case:
// "xxxxxxxx-xxxx-Vxxx-yxxx-xxxxxxxxxxxx".
std::string UuidText(UuidBytes bytes, std::uint8_t version);

// A random UUID (version 4), made from the system's entropy.
std::string RandomUuid();

}  // namespace bb
