#include "sim/sim_raw_image.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "util/byte_order.h"

namespace bb::sim {

namespace {

constexpr std::string_view kMagic = "CORVANE 2860";
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kEntrySize = 10;
constexpr std::array<std::uint8_t, 2> kEndMark{0x24, 0x6D};
constexpr std::array<std::uint8_t, 2> kTrailer{0x7F, 0x7E};

void AppendBe16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.resize(out.size() + 2);
  PutBe16(out, out.size() - 2, value);
}

void AppendBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.resize(out.size() + 4);
  PutBe32(out, out.size() - 4, value);
}

void AppendBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

std::uint32_t DataSize(const std::vector<ImageEntry>& group) {
  std::uint32_t total = 0;
  for (const ImageEntry& entry : group) total += static_cast<std::uint32_t>(entry.data.size());
  return total;
}

void AppendEntry(std::vector<std::uint8_t>& out, std::uint16_t id, std::uint32_t offset,
                 std::uint32_t size) {
  AppendBe16(out, id);
  AppendBe32(out, offset);
  AppendBe32(out, size);
}

// In the camera an entry's offset counts from the start of its group's data,
// and the two bytes after the data hold a sum of that data.
void AppendRawGroup(std::vector<std::uint8_t>& out, const std::vector<ImageEntry>& group) {
  AppendBe32(out, static_cast<std::uint32_t>(group.size()));
  AppendBe32(out, static_cast<std::uint32_t>(kEntrySize * group.size()) + DataSize(group));
  std::uint32_t offset = 0;
  for (const ImageEntry& entry : group) {
    const auto size = static_cast<std::uint32_t>(entry.data.size());
    AppendEntry(out, entry.id, offset, size);
    offset += size;
  }
  std::uint16_t sum = 0;
  for (const ImageEntry& entry : group) {
    AppendBytes(out, entry.data);
    for (std::uint8_t byte : entry.data) sum = static_cast<std::uint16_t>(sum + byte);
  }
  AppendBe16(out, sum);
}

}  // namespace

std::vector<std::uint8_t> EncodeBrnFile(const ImageContent& content, std::uint16_t firmwareId) {
  std::vector<std::uint8_t> out(16, 0);
  std::copy(kMagic.begin(), kMagic.end(), out.begin());
  AppendBe32(out, static_cast<std::uint32_t>(content.groupA.size()));
  AppendBe32(out, static_cast<std::uint32_t>(content.groupB.size()));
  AppendBe32(out, DataSize(content.groupA));
  AppendBe32(out, DataSize(content.groupB));

  const std::size_t entries = content.groupA.size() + content.groupB.size() + 1;
  auto offset = static_cast<std::uint32_t>(kHeaderSize + kEntrySize * entries + kEndMark.size());
  for (const auto* group : {&content.groupA, &content.groupB}) {
    for (const ImageEntry& entry : *group) {
      const auto size = static_cast<std::uint32_t>(entry.data.size());
      AppendEntry(out, entry.id, offset, size);
      offset += size;
    }
  }
  AppendEntry(out, firmwareId, offset, static_cast<std::uint32_t>(content.firmware.size()));
  AppendBytes(out, kEndMark);
  for (const auto* group : {&content.groupA, &content.groupB}) {
    for (const ImageEntry& entry : *group) AppendBytes(out, entry.data);
  }
  AppendBytes(out, content.firmware);
  AppendBytes(out, kTrailer);
  return out;
}

std::vector<std::uint8_t> EncodeRawImage(const ImageContent& content) {
  std::vector<std::uint8_t> out = EncodeBareRawImage(content.firmware);
  AppendRawGroup(out, content.groupA);
  AppendRawGroup(out, content.groupB);
  return out;
}

std::vector<std::uint8_t> EncodeBareRawImage(std::span<const std::uint8_t> firmware) {
  std::vector<std::uint8_t> out;
  AppendBe32(out, static_cast<std::uint32_t>(firmware.size()));
  AppendBytes(out, firmware);
  return out;
}

std::optional<ImageContent> DecodeBrnFile(std::span<const std::uint8_t> brn) {
  const std::uint64_t size = brn.size();
  if (size < kHeaderSize + kEndMark.size() + kTrailer.size()) return std::nullopt;
  if (!std::equal(kMagic.begin(), kMagic.end(), brn.begin()) || brn[kMagic.size()] != 0) {
    return std::nullopt;
  }
  if (!std::equal(kTrailer.begin(), kTrailer.end(), brn.end() - 2)) return std::nullopt;
  const std::uint64_t countA = GetBe32(brn, 16);
  const std::uint64_t countB = GetBe32(brn, 20);
  const std::uint64_t entries = countA + countB + 1;
  const std::uint64_t endMark = kHeaderSize + kEntrySize * entries;
  if (endMark + kEndMark.size() + kTrailer.size() > size) return std::nullopt;
  // Every position below lies within `brn`, checked before use.
  if (!std::equal(kEndMark.begin(), kEndMark.end(), brn.begin() + static_cast<std::ptrdiff_t>(endMark))) {
    return std::nullopt;
  }

  ImageContent content;
  for (std::uint64_t i = 0; i < entries; ++i) {
    const auto at = static_cast<std::size_t>(kHeaderSize + kEntrySize * i);
    const std::uint64_t offset = GetBe32(brn, at + 2);
    const std::uint64_t length = GetBe32(brn, at + 6);
    if (offset + length > size - kTrailer.size()) return std::nullopt;
    const auto data = brn.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    if (i + 1 == entries) {
      content.firmware.assign(data.begin(), data.end());
    } else {
      auto& group = i < countA ? content.groupA : content.groupB;
      group.push_back(ImageEntry{GetBe16(brn, at), {data.begin(), data.end()}});
    }
  }
  return content;
}

std::optional<std::vector<std::uint8_t>> RawImageFromBrn(std::span<const std::uint8_t> brn) {
  const std::optional<ImageContent> content = DecodeBrnFile(brn);
  if (!content) return std::nullopt;
  return EncodeRawImage(*content);
}

}  // namespace bb::sim
