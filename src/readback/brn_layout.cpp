#include "readback/brn_layout.h"

#include <algorithm>

#include "util/byte_order.h"

namespace bb {

bool BrnHeader::HasMagic() const {
  return std::equal(tag.begin(), tag.begin() + kBrnMagicSize + 1, kBrnTag.begin());
}

std::array<std::uint8_t, BrnHeader::kSize> BrnHeader::Encode() const {
  std::array<std::uint8_t, kSize> bytes{};
  std::copy(tag.begin(), tag.end(), bytes.begin());
  PutBe32(bytes, 16, countA);
  PutBe32(bytes, 20, countB);
  PutBe32(bytes, 24, dataA);
  PutBe32(bytes, 28, dataB);
  return bytes;
}

BrnHeader BrnHeader::Decode(std::span<const std::uint8_t, kSize> bytes) {
  BrnHeader header;
  std::copy_n(bytes.begin(), header.tag.size(), header.tag.begin());
  header.countA = GetBe32(bytes, 16);
  header.countB = GetBe32(bytes, 20);
  header.dataA = GetBe32(bytes, 24);
  header.dataB = GetBe32(bytes, 28);
  return header;
}

void BrnEntry::EncodeAt(std::span<std::uint8_t> out, std::size_t at) const {
  PutBe16(out, at, id);
  PutBe32(out, at + 2, offset);
  PutBe32(out, at + 6, size);
}

BrnEntry BrnEntry::DecodeAt(std::span<const std::uint8_t> in, std::size_t at) {
  return BrnEntry{GetBe16(in, at), GetBe32(in, at + 2), GetBe32(in, at + 6)};
}

std::uint64_t EntryCount(const BrnHeader& header) {
  return 1u + std::uint64_t{header.countA} + header.countB;
}

}  // namespace bb
