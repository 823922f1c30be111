#include "burn/image_bytes.h"

#include <algorithm>
#include <limits>
#include <new>

#include "util/binary_file.h"

namespace bb {

namespace {

// Small enough to be hashed while it is still in the cache it was read into.
constexpr std::uint64_t kHashPiece = std::uint64_t{1} << 20;

}  // namespace

std::optional<FileDigest> ReadHashed(std::ifstream& file, std::uint8_t* destination,
                                     std::uint64_t count) {
  Sha256 hash;
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t piece = std::min(count - done, kHashPiece);
    if (!ReadExactly(file, destination + done, piece)) return std::nullopt;
    hash.Update(std::span(destination + done, static_cast<std::size_t>(piece)));
    done += piece;
  }
  return FileDigest{hash.Finish(), count};
}

ImageRead ReadImageBytes(const std::string& path, std::uint64_t maxSize, std::uint64_t slack,
                         ImageBytes& image, std::uint64_t& size) {
  std::ifstream file;
  const std::optional<std::uint64_t> opened = OpenForReading(path, file);
  if (!opened) return ImageRead::kCannotOpen;
  size = *opened;
  if (size > maxSize || slack > std::numeric_limits<std::size_t>::max() / 2 ||
      size > std::numeric_limits<std::size_t>::max() / 2 - slack) {
    return ImageRead::kNoMemory;
  }
  // The file's bytes are read over the buffer whole or not used at all, so only
  // the slack needs its zeros: clearing all of it first would touch every page
  // of a large image twice.
  const auto length = static_cast<std::size_t>(size);
  const auto zeros = static_cast<std::size_t>(slack);
  std::shared_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[length + zeros]);
  if (!buffer) return ImageRead::kNoMemory;
  // A file that shrinks while it is read would send stale bytes.
  const std::optional<FileDigest> digest = ReadHashed(file, buffer.get(), size);
  if (!digest) return ImageRead::kShortRead;
  std::fill_n(buffer.get() + length, zeros, std::uint8_t{0});
  image = ImageBytes{std::move(buffer), *digest};
  return ImageRead::kRead;
}

}  // namespace bb
