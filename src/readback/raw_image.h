#pragma once

#include <cstdint>
#include <optional>

#include "platform/native_file.h"
#include "readback/brn_layout.h"

namespace bb {

// A raw image is the firmware image as the camera stores and delivers it: a
// big-endian length L, the L firmware bytes, then either nothing or exactly two
// resource groups. Each group is a header (count, length), `count` entries, the
// group's data and two bytes of the camera's own that the conversion skips.

inline constexpr std::uint64_t kRawFirmwareOffset = 4;
inline constexpr std::uint64_t kRawGroupHeaderSize = 8;
inline constexpr std::uint64_t kRawGroupTailSize = 2;

struct RawGroup {
  std::uint64_t headerOffset = 0;
  std::uint32_t count = 0;
  // Covers the entries and the data; the parser guarantees length >= 10 x count.
  std::uint32_t length = 0;

  std::uint64_t EntriesOffset() const { return headerOffset + kRawGroupHeaderSize; }
  std::uint64_t DataOffset() const {
    return EntriesOffset() + std::uint64_t{count} * BrnEntry::kSize;
  }
  std::uint32_t DataSize() const {
    return length - count * static_cast<std::uint32_t>(BrnEntry::kSize);
  }
};

struct RawImageLayout {
  std::uint32_t firmwareLength = 0;
  bool hasGroups = false;
  RawGroup groupA;
  RawGroup groupB;
};

// Locates the parts of a raw image of `fileSize` bytes. Refuses (nullopt) unless
// the image is exactly the firmware part, or the firmware part and two groups
// that end exactly at the end of the file; also refuses a group whose length is
// below ten times its count, since its data size would be negative. All sums are
// 64-bit, so no field can wrap a position back into the file.
std::optional<RawImageLayout> ParseRawImage(NativeFile& raw, std::uint64_t fileSize);

}  // namespace bb
