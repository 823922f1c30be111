#include "readback/raw_image.h"

#include <array>

#include "util/byte_order.h"

namespace bb {

namespace {

std::optional<RawGroup> ParseGroupHeader(NativeFile& raw, std::uint64_t at,
                                         std::uint64_t fileSize) {
  if (at + kRawGroupHeaderSize > fileSize) return std::nullopt;
  std::array<std::uint8_t, kRawGroupHeaderSize> bytes{};
  if (!raw.ReadAt(at, bytes)) return std::nullopt;
  RawGroup group{at, GetBe32(bytes, 0), GetBe32(bytes, 4)};
  if (std::uint64_t{group.length} < std::uint64_t{group.count} * BrnEntry::kSize) {
    return std::nullopt;
  }
  return group;
}

}  // namespace

std::optional<RawImageLayout> ParseRawImage(NativeFile& raw, std::uint64_t fileSize) {
  std::array<std::uint8_t, 4> prefix{};
  if (!raw.ReadAt(0, prefix)) return std::nullopt;
  RawImageLayout layout;
  layout.firmwareLength = GetBe32(prefix, 0);
  std::uint64_t position = kRawFirmwareOffset + layout.firmwareLength;
  if (fileSize <= position) {
    if (fileSize != position) return std::nullopt;
    return layout;
  }

  layout.hasGroups = true;
  for (RawGroup* group : {&layout.groupA, &layout.groupB}) {
    const std::optional<RawGroup> parsed = ParseGroupHeader(raw, position, fileSize);
    if (!parsed) return std::nullopt;
    *group = *parsed;
    position += kRawGroupHeaderSize + group->length + kRawGroupTailSize;
  }
  if (position != fileSize) return std::nullopt;
  return layout;
}

}  // namespace bb
