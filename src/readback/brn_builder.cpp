#include "readback/brn_builder.h"

#include <algorithm>
#include <limits>

#include "readback/brn_layout.h"
#include "readback/stream_io.h"

namespace bb {

namespace {

BrnHeader HeaderFor(const RawImageLayout& layout) {
  BrnHeader header;
  header.countA = layout.groupA.count;
  header.countB = layout.groupB.count;
  header.dataA = layout.groupA.DataSize();
  header.dataB = layout.groupB.DataSize();
  return header;
}

// Gives the entry the next data offset and moves that offset past its data.
bool PlaceEntry(BrnEntry& entry, std::uint64_t& dataOffset) {
  if (dataOffset > std::numeric_limits<std::uint32_t>::max()) return false;
  entry.offset = static_cast<std::uint32_t>(dataOffset);
  dataOffset += entry.size;
  return true;
}

bool Write(std::ostream& out, std::span<const std::uint8_t> bytes) {
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

std::uint64_t BrnHeadSize(const RawImageLayout& layout) {
  return BrnHeader::kSize + EntryCount(HeaderFor(layout)) * BrnEntry::kSize + kBrnEndMark.size();
}

bool BuildBrnHead(std::istream& raw, const RawImageLayout& layout, std::uint16_t fwFileId,
                  std::span<std::uint8_t> head) {
  const auto header = HeaderFor(layout).Encode();
  std::copy(header.begin(), header.end(), head.begin());
  std::size_t slot = BrnHeader::kSize;
  std::uint64_t dataOffset = head.size();
  for (const RawGroup* group : {&layout.groupA, &layout.groupB}) {
    const std::size_t bytes = std::size_t{group->count} * BrnEntry::kSize;
    if (!ReadAt(raw, group->EntriesOffset(), head.subspan(slot, bytes))) return false;
    for (const std::size_t end = slot + bytes; slot < end; slot += BrnEntry::kSize) {
      BrnEntry entry = BrnEntry::DecodeAt(head, slot);
      if (!PlaceEntry(entry, dataOffset)) return false;
      entry.EncodeAt(head, slot);
    }
  }
  BrnEntry firmware{fwFileId, 0, layout.firmwareLength};
  if (!PlaceEntry(firmware, dataOffset)) return false;
  firmware.EncodeAt(head, slot);
  std::copy(kBrnEndMark.begin(), kBrnEndMark.end(), head.begin() + slot + BrnEntry::kSize);
  return true;
}

bool WriteGroupedBrn(std::istream& raw, const RawImageLayout& layout,
                     std::span<const std::uint8_t> head, std::ostream& brn) {
  return Write(brn, head) &&
         CopyFileRange(raw, brn, layout.groupA.DataOffset(), layout.groupA.DataSize()) &&
         CopyFileRange(raw, brn, layout.groupB.DataOffset(), layout.groupB.DataSize()) &&
         CopyFileRange(raw, brn, kRawFirmwareOffset, layout.firmwareLength) &&
         Write(brn, kBrnTrailer);
}

}  // namespace bb
