#include "burn/legacy_image.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <optional>

#include "burn/image_bytes.h"
#include "burn/image_check.h"
#include "device/status_codes.h"
#include "util/binary_file.h"
#include "util/format.h"

namespace bb {

namespace {

constexpr std::uint64_t kMinTableSize = 256;
constexpr std::uint64_t kMaxTableSize = 1024;
// The length sent counts in 32 bits, with room to round up to a whole block.
constexpr std::uint64_t kMaxFirmware = std::uint64_t{std::numeric_limits<std::uint32_t>::max()} -
                                       std::numeric_limits<std::uint16_t>::max();

// The table ends one byte before the linked image does; that last byte stays
// 0xFF. A pinned firmware takes only a pinned table: the merged bytes would
// otherwise be bytes that nothing pinned.
int MergeBadPixelTable(const JobImage& firmware, const JobImage& table, std::uint8_t* image,
                       Console& console) {
  if (firmware.pin && !table.pin) {
    console.AddLogLine(Format("%s is missing: the bad-pixel table %s would be merged unpinned "
                              "into the pinned firmware !!!",
                              std::string(table.pinKey).c_str(), table.path.c_str()));
    return kFileError;
  }
  std::ifstream file;
  const std::optional<std::uint64_t> size = OpenForReading(table.path, file);
  if (!size) return kFileError;
  if (*size < kMinTableSize || *size > kMaxTableSize) return kFileError;
  const std::optional<FileDigest> read =
      ReadHashed(file, image + (kLinkedImageSize - 1 - *size), *size);
  if (!read) {
    console.AddLogLine("Read file error...");
    return kFileError;
  }
  return CheckImageDigest(table, *read, console) ? kOk : kFileError;
}

}  // namespace

int PrepareLegacyImage(const JobImage& firmware, const JobImage& table, const Settings& settings,
                       std::uint16_t blockUnit, Console& console, LegacyImage& image) {
  std::ifstream file;
  const std::optional<std::uint64_t> size = OpenForReading(firmware.path, file);
  if (!size) return kFileError;
  const bool linked = settings.LinkFlag == 1;
  if (linked && *size > kLinkedImageSize) {
    // The rest of the image would be overwritten, or written past its end.
    console.AddLogLine(Format("F/W file too large: %llu bytes (at most %u).",
                              static_cast<unsigned long long>(*size), kLinkedImageSize));
    return kFileError;
  }
  if (*size > kMaxFirmware) return kNoBuffer;

  const std::uint64_t imageLength = linked ? kLinkedImageSize : *size;
  const std::uint64_t blocks = (imageLength + blockUnit - 1) / blockUnit;
  const std::uint64_t length = blocks * blockUnit;
  std::unique_ptr<std::uint8_t[]> bytes = AllocateZeroed(length);
  if (!bytes) return kNoBuffer;
  std::fill_n(bytes.get(), imageLength, std::uint8_t{0xFF});
  // A file that shrinks while it is read would leave 0xFF where its bytes were.
  const std::optional<FileDigest> read = ReadHashed(file, bytes.get(), *size);
  if (!read) {
    console.AddLogLine("Read file error...");
    return kFileError;
  }
  file.close();
  if (!CheckImageDigest(firmware, *read, console)) return kFileError;
  if (linked) {
    const int merged = MergeBadPixelTable(firmware, table, bytes.get(), console);
    if (merged != kOk) return merged;
  }
  image = LegacyImage{std::move(bytes), static_cast<std::uint32_t>(blocks),
                      static_cast<std::uint32_t>(length)};
  return kOk;
}

}  // namespace bb
