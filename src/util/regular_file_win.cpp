#include <windows.h>

#include <filesystem>

#include "util/paths.h"
#include "util/regular_file.h"

namespace bb {

bool OpenRegularFile(const std::string& path, std::ifstream& file) {
  const std::filesystem::path fsPath = FsPath(path);
  // Opening a console, a serial port or a pipe does not wait, but reading one
  // may; only a file on a disk is taken. A folder does not open without
  // backup semantics, so it is refused here too.
  const HANDLE handle = CreateFileW(fsPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool onDisk = GetFileType(handle) == FILE_TYPE_DISK;
  CloseHandle(handle);
  if (!onDisk) return false;
  file.open(fsPath, std::ios::binary);
  return file.is_open();
}

}  // namespace bb
