#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/native_file.h"

namespace bb {

namespace {

// Small enough that the mapped pages, which count as the process's memory
// while they are mapped, stay a fixed cost whatever the file's size; large
// enough that mapping and unmapping vanish against the bytes moved. Windows
// start at multiples of their size in the file: where the page cache holds
// the source in pages of that size, the system maps each window with one
// entry instead of one per 4 KiB page.
constexpr std::uint64_t kMappedWindow = std::uint64_t{2} << 20;

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

bool FitsOffset(std::uint64_t value) {
  return value <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
}

bool WriteAll(int out, const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t put = ::write(out, bytes, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    count -= static_cast<std::size_t>(put);
  }
  return true;
}

enum class CopyResult { kDone, kFailed, kRefused };

#if defined(__linux__)
// Both copies advance `offset` and `length` past what they moved, so that a
// refusal midway leaves the rest to the next way.
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

// The source's pages are handed to write() straight from a mapping: one copy
// instead of the two of a buffer. Only the kernel touches the mapping, so a
// source cut short meanwhile fails the write (EFAULT) and never raises SIGBUS.
CopyResult CopyThroughMapping(int in, int out, std::uint64_t& offset, std::uint64_t& length,
                              std::uint64_t pageSize) {
  while (length > 0) {
    const std::uint64_t base = offset - offset % kMappedWindow;
    const std::uint64_t skip = offset - base;
    const std::uint64_t piece = std::min(length, kMappedWindow - skip);
    // The tail of a file's last page reads as zeros through a mapping, so the
    // end of the source is looked at before each window.
    struct stat info {};
    if (!FitsOffset(base + kMappedWindow) || ::fstat(in, &info) != 0 ||
        static_cast<std::uint64_t>(info.st_size) < base + skip + piece) {
      return CopyResult::kFailed;
    }
    // The whole window, up to the source's last page: only a whole window can
    // take one page-table entry.
    const auto sourceEnd = static_cast<std::uint64_t>(info.st_size);
    const std::uint64_t mapped =
        std::min(kMappedWindow, sourceEnd - base + (pageSize - sourceEnd % pageSize) % pageSize);
    void* window = ::mmap(nullptr, static_cast<std::size_t>(mapped), PROT_READ, MAP_SHARED, in,
                          static_cast<off_t>(base));
    if (window == MAP_FAILED) {
      return errno == ENODEV || errno == EACCES ? CopyResult::kRefused : CopyResult::kFailed;
    }
#if defined(MADV_POPULATE_READ)
    // The pages written are mapped up front: one pass over the page tables
    // instead of a fault for every few pages while write() walks them. Where
    // the system cannot, write() faults them in itself, and reports a source
    // cut short meanwhile all the same.
    const std::uint64_t first = skip - skip % pageSize;
    const std::uint64_t end = skip + piece;
    const std::uint64_t last = std::min(mapped, end + (pageSize - end % pageSize) % pageSize);
    ::madvise(static_cast<char*>(window) + first, static_cast<std::size_t>(last - first),
              MADV_POPULATE_READ);
#endif
    const bool written =
        WriteAll(out, static_cast<const std::uint8_t*>(window) + skip, static_cast<std::size_t>(piece));
    ::munmap(window, static_cast<std::size_t>(mapped));
    if (!written) return CopyResult::kFailed;
    offset += piece;
    length -= piece;
  }
  return CopyResult::kDone;
}

}  // namespace

bool NativeFile::CopyFrom(NativeFile& source, std::uint64_t offset, std::uint64_t length) {
  const int in = Fd(source.handle_);
  const int out = Fd(handle_);
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::uint64_t pageSize = page > 0 ? static_cast<std::uint64_t>(page) : 4096;
  const off_t position = ::lseek(out, 0, SEEK_CUR);
  // The kernel's own copy is the fastest when source and target pages line up;
  // when they do not, it splits every page in two and a mapped copy wins.
  const bool pagesLineUp =
      position >= 0 && (offset - static_cast<std::uint64_t>(position)) % pageSize == 0;
  CopyResult result = CopyResult::kRefused;
#if defined(__linux__)
  if (pagesLineUp) result = CopyInKernel(in, out, offset, length);
#endif
  if (result == CopyResult::kRefused && !pagesLineUp) {
    result = CopyThroughMapping(in, out, offset, length, pageSize);
  }
  if (result == CopyResult::kRefused) return CopyThroughBuffer(source, offset, length);
  return result == CopyResult::kDone;
}

}  // namespace bb
