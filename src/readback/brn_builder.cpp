#include "readback/brn_builder.h"

#include <algorithm>
#include <array>
#include <limits>
#include <span>
#include <vector>

#include "readback/brn_layout.h"

namespace bb {

namespace {

// 6553 entries, just under 64 KiB, per read and write of the directory.
constexpr std::uint64_t kEntriesPerPiece = 0x10000 / BrnEntry::kSize;

BrnHeader HeaderFor(const RawImageLayout& layout) {
  BrnHeader header;
  header.countA = layout.groupA.count;
  header.countB = layout.groupB.count;
  header.dataA = layout.groupA.DataSize();
  header.dataB = layout.groupB.DataSize();
  return header;
}

std::uint64_t FirstDataOffset(const RawImageLayout& layout) {
  return BrnHeader::kSize + EntryCount(HeaderFor(layout)) * BrnEntry::kSize + kBrnEndMark.size();
}

// Hands each piece of a group's entries, read from the raw image, to `visit`.
template <typename Visit>
bool VisitEntries(NativeFile& raw, const RawGroup& group, std::vector<std::uint8_t>& buffer,
                  Visit visit) {
  std::uint64_t remaining = group.count;
  std::uint64_t at = group.EntriesOffset();
  while (remaining > 0) {
    const std::uint64_t entries = std::min(remaining, kEntriesPerPiece);
    buffer.resize(static_cast<std::size_t>(entries * BrnEntry::kSize));
    if (!raw.ReadAt(at, buffer) || !visit(std::span<std::uint8_t>(buffer))) return false;
    at += buffer.size();
    remaining -= entries;
  }
  return true;
}

}  // namespace

bool BrnOffsetsFit(NativeFile& raw, const RawImageLayout& layout) {
  // Offsets only grow, so the firmware entry's, the last one, decides.
  std::uint64_t dataOffset = FirstDataOffset(layout);
  std::vector<std::uint8_t> buffer;
  for (const RawGroup* group : {&layout.groupA, &layout.groupB}) {
    const bool read = VisitEntries(raw, *group, buffer, [&](std::span<std::uint8_t> piece) {
      for (std::size_t slot = 0; slot < piece.size(); slot += BrnEntry::kSize) {
        dataOffset += BrnEntry::DecodeAt(piece, slot).size;
      }
      return true;
    });
    if (!read) return false;
  }
  return dataOffset <= std::numeric_limits<std::uint32_t>::max();
}

bool WriteGroupedBrn(NativeFile& raw, const RawImageLayout& layout, std::uint16_t fwFileId,
                     NativeFile& brn) {
  if (!brn.Write(HeaderFor(layout).Encode())) return false;
  std::uint64_t dataOffset = FirstDataOffset(layout);
  std::vector<std::uint8_t> buffer;
  for (const RawGroup* group : {&layout.groupA, &layout.groupB}) {
    const bool written = VisitEntries(raw, *group, buffer, [&](std::span<std::uint8_t> piece) {
      for (std::size_t slot = 0; slot < piece.size(); slot += BrnEntry::kSize) {
        BrnEntry entry = BrnEntry::DecodeAt(piece, slot);
        // The raw image may have grown since its offsets were checked.
        if (dataOffset > std::numeric_limits<std::uint32_t>::max()) return false;
        entry.offset = static_cast<std::uint32_t>(dataOffset);
        dataOffset += entry.size;
        entry.EncodeAt(piece, slot);
      }
      return brn.Write(piece);
    });
    if (!written) return false;
  }
  if (dataOffset > std::numeric_limits<std::uint32_t>::max()) return false;
  std::array<std::uint8_t, BrnEntry::kSize + kBrnEndMark.size()> tail{};
  BrnEntry{fwFileId, static_cast<std::uint32_t>(dataOffset), layout.firmwareLength}.EncodeAt(tail, 0);
  std::copy(kBrnEndMark.begin(), kBrnEndMark.end(), tail.begin() + BrnEntry::kSize);
  return brn.Write(tail) &&
         brn.CopyFrom(raw, layout.groupA.DataOffset(), layout.groupA.DataSize()) &&
         brn.CopyFrom(raw, layout.groupB.DataOffset(), layout.groupB.DataSize()) &&
         brn.CopyFrom(raw, kRawFirmwareOffset, layout.firmwareLength) && brn.Write(kBrnTrailer);
}

}  // namespace bb
