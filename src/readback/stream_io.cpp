#include "readback/stream_io.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace bb {

namespace {

constexpr std::uint64_t kCopyBufferSize = 0x10000;

bool SeekTo(std::istream& stream, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::streamoff>::max())) {
    return false;
  }
  stream.clear();
  stream.seekg(static_cast<std::streamoff>(offset));
  return static_cast<bool>(stream);
}

}  // namespace

bool ReadAt(std::istream& stream, std::uint64_t offset, std::span<std::uint8_t> out) {
  if (!SeekTo(stream, offset)) return false;
  const auto count = static_cast<std::streamsize>(out.size());
  stream.read(reinterpret_cast<char*>(out.data()), count);
  return stream.gcount() == count;
}

bool CopyFileRange(std::istream& source, std::ostream& destination, std::uint64_t offset,
                   std::uint64_t length) {
  if (!SeekTo(source, offset)) return false;
  std::vector<char> buffer(static_cast<std::size_t>(std::min(length, kCopyBufferSize)));
  while (length > 0) {
    const auto piece = static_cast<std::streamsize>(std::min(length, kCopyBufferSize));
    source.read(buffer.data(), piece);
    if (source.gcount() != piece) return false;
    if (!destination.write(buffer.data(), piece)) return false;
    length -= static_cast<std::uint64_t>(piece);
  }
  return true;
}

}  // namespace bb
