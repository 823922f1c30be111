#include <algorithm>
#include <memory>
#include <new>

#include "platform/native_file.h"

namespace bb {

namespace {

// Large enough that the system's per-call cost vanishes against the bytes
// moved, small enough to stay a fixed cost whatever the file's size, and a
// small one for each of many cameras that verify at once.
constexpr std::uint64_t kCopyBufferSize = std::uint64_t{256} << 10;

}  // namespace

bool NativeFile::CopyThroughBuffer(NativeFile& source, std::uint64_t offset, std::uint64_t length) {
  if (length == 0) return true;
  const std::uint64_t bufferSize = std::min(length, kCopyBufferSize);
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow)
                                             std::uint8_t[static_cast<std::size_t>(bufferSize)]);
  if (!buffer) return false;
  while (length > 0) {
    const auto piece = static_cast<std::size_t>(std::min(length, bufferSize));
    const std::span<std::uint8_t> bytes(buffer.get(), piece);
    if (!source.ReadAt(offset, bytes) || !Write(bytes)) return false;
    offset += piece;
    length -= piece;
  }
  return true;
}

}  // namespace bb
