#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/native_file.h"

namespace bb {

namespace {

#if defined(__linux__)
int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

bool FitsOffset(std::uint64_t value) {
  return value <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
}

enum class CopyResult { kDone, kFailed, kRefused };

// Advances `offset` and `length` past what it moved, so that a refusal midway
// leaves the rest to the buffer.
CopyResult CopyInKernel(int in, int out, std::uint64_t& offset, std::uint64_t& length) {
  // One call per gigabyte at most; the kernel moves the pages itself.
  constexpr std::uint64_t kKernelPiece = std::uint64_t{1} << 30;
  while (length > 0) {
    if (!FitsOffset(offset)) return CopyResult::kFailed;
    auto at = static_cast<off_t>(offset);
    const ssize_t moved = ::copy_file_range(in, &at, out, nullptr,
                                            static_cast<std::size_t>(std::min(length, kKernelPiece)), 0);
    if (moved > 0) {
      offset += static_cast<std::uint64_t>(moved);
      length -= static_cast<std::uint64_t>(moved);
      continue;
    }
    if (moved == 0) return CopyResult::kFailed;
    if (errno == EINTR) continue;
    // Across file systems, or where the file systems do not offer it.
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
      return CopyResult::kRefused;
    }
    return CopyResult::kFailed;
  }
  return CopyResult::kDone;
}
#endif

}  // namespace

bool NativeFile::CopyFrom(NativeFile& source, std::uint64_t offset, std::uint64_t length) {
#if defined(__linux__)
  const int out = Fd(handle_);
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::uint64_t pageSize = page > 0 ? static_cast<std::uint64_t>(page) : 4096;
  const off_t position = ::lseek(out, 0, SEEK_CUR);
  // The kernel's own copy is the fastest when source and target pages line up.
  // When they do not, it splits every page in two and a small buffer does
  // better; a mapped window of the source would be a little faster still, but
  // its pages count as the process's memory while they are mapped, and many
  // cameras verifying at once would each hold a window.
  const bool pagesLineUp =
      position >= 0 && (offset - static_cast<std::uint64_t>(position)) % pageSize == 0;
  if (pagesLineUp) {
    const CopyResult result = CopyInKernel(Fd(source.handle_), out, offset, length);
    if (result != CopyResult::kRefused) return result == CopyResult::kDone;
  }
#endif
  return CopyThroughBuffer(source, offset, length);
}

}  // namespace bb
