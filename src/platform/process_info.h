#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bb {

// The product version as the fixed part of a version resource holds it: the high
// word carries major and minor, the low word build and revision.
struct ProductVersion {
  std::uint32_t high = 0;
  std::uint32_t low = 0;

  std::uint32_t Major() const { return high >> 16; }
  std::uint32_t Minor() const { return high & 0xFFFFu; }
  std::uint32_t Build() const { return low >> 16; }
  std::uint32_t Revision() const { return low & 0xFFFFu; }
  friend bool operator==(const ProductVersion&, const ProductVersion&) = default;
};

// Facts about the running executable. Read once at start-up.
class ProcessInfo {
 public:
  virtual ~ProcessInfo() = default;
  // The full path of the running executable; empty when it cannot be had.
  virtual std::string ExecutablePath() = 0;
  // The product version of the executable's own version information; nullopt
  // when it is missing or cannot be read.
  virtual std::optional<ProductVersion> ReadProductVersionInfo() = 0;
};

}  // namespace bb
