#include <windows.h>

#include <limits>

#include "platform/append_file.h"
#include "platform/win32/utf16.h"

namespace bb {

bool AppendWhole(const std::string& path, std::string_view text) {
  if (text.size() > std::numeric_limits<DWORD>::max()) return false;
  // Append access without write access makes every write land at the end of
  // the file, whoever else appends.
  const HANDLE file = CreateFileW(ToUtf16(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  const BOOL closed = CloseHandle(file);
  return ok && closed && written == text.size();
}

}  // namespace bb
