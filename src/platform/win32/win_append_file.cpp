#include <windows.h>

#include <limits>
#include <string>

#include "platform/append_file.h"
#include "platform/win32/utf16.h"

namespace bb {

namespace {

// The whole file, from its first byte to the largest offset there is: readers
// are kept out of it while the line goes on, as they are by the lock on POSIX.
class WholeFileLock {
 public:
  explicit WholeFileLock(HANDLE file) : file_(file) {
    OVERLAPPED from{};
    locked_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from) != 0;
  }
  ~WholeFileLock() {
    if (!locked_) return;
    OVERLAPPED from{};
    UnlockFileEx(file_, 0, MAXDWORD, MAXDWORD, &from);
  }
  WholeFileLock(const WholeFileLock&) = delete;
  WholeFileLock& operator=(const WholeFileLock&) = delete;
  bool Locked() const { return locked_; }

 private:
  HANDLE file_;
  bool locked_ = false;
};

bool EndsUnended(HANDLE file, LARGE_INTEGER size) {
  if (size.QuadPart <= 0) return false;
  OVERLAPPED at{};
  const LARGE_INTEGER last{.QuadPart = size.QuadPart - 1};
  at.Offset = last.LowPart;
  at.OffsetHigh = static_cast<DWORD>(last.HighPart);
  char byte = '\n';
  DWORD read = 0;
  return ReadFile(file, &byte, 1, &read, &at) && read == 1 && byte != '\n';
}

bool Append(HANDLE file, const std::string& line) {
  if (line.size() > std::numeric_limits<DWORD>::max()) return false;
  // Both offsets all ones: the write lands at the end of the file, wherever
  // another program's append has left it.
  OVERLAPPED end{};
  end.Offset = MAXDWORD;
  end.OffsetHigh = MAXDWORD;
  DWORD written = 0;
  return WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, &end) &&
         written == line.size();
}

}  // namespace

bool AppendWhole(const std::string& path, std::string_view text) {
  const HANDLE file = CreateFileW(ToUtf16(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool appended = false;
  {
    const WholeFileLock lock(file);
    LARGE_INTEGER size{};
    if (lock.Locked() && GetFileSizeEx(file, &size)) {
      std::string line = EndsUnended(file, size) ? "\n" : "";
      line.append(text);
      appended = Append(file, line);
      if (!appended) {
        // No reader may meet a line cut short, and the next line must not be glued to it.
        FILE_END_OF_FILE_INFO before{size};
        SetFileInformationByHandle(file, FileEndOfFileInfo, &before, sizeof before);
      }
    }
  }
  const BOOL closed = CloseHandle(file);
  return appended && closed;
}

}  // namespace bb
