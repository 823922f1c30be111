#include "readback/brn_file.h"

#include <array>
#include <cstdint>

namespace bb {

namespace {

// Header (32), end mark (2), trailer (2) and eight bytes that the size test has
// always demanded beyond them.
constexpr std::uint64_t kSizeTestSlack = 44;

}  // namespace

std::optional<NativeFile> OpenBrnFile(const std::string& name, BrnHeader& header) {
  if (name.empty()) return std::nullopt;
  std::optional<NativeFile> file = NativeFile::OpenForReading(name);
  if (!file) return std::nullopt;
  const std::optional<std::uint64_t> size = file->Size();
  if (!size) return std::nullopt;

  std::array<std::uint8_t, BrnHeader::kSize> headerBytes{};
  if (!file->ReadAt(0, headerBytes)) return std::nullopt;
  const BrnHeader read = BrnHeader::Decode(headerBytes);
  if (!read.HasMagic()) return std::nullopt;

  std::array<std::uint8_t, kBrnTrailer.size()> trailer{};
  if (!file->ReadAt(*size - trailer.size(), trailer) || trailer != kBrnTrailer) return std::nullopt;

  const std::uint64_t minimum = EntryCount(read) * BrnEntry::kSize + kSizeTestSlack +
                                read.dataA + read.dataB;
  if (*size <= minimum) return std::nullopt;
  header = read;
  return file;
}

}  // namespace bb
