#include <windows.h>

#include <atomic>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "platform/file_replace.h"
#include "util/paths.h"

namespace bb {

namespace {

std::string SystemWhy(DWORD error) { return std::system_category().message(static_cast<int>(error)); }

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }
  bool Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    return CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

}  // namespace

bool ReplaceFileContent(const std::string& path, std::string_view text, std::string& why) {
  if (path.empty()) {
    why = "no file is named";
    return false;
  }
  static std::atomic<unsigned> counter{0};
  if (text.size() > std::numeric_limits<DWORD>::max()) {
    why = "the text is too long";
    return false;
  }
  const std::filesystem::path file = FsPath(path);
  std::wstring name;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
    name = file.wstring() + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1)) + L".new";
    created = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (created == INVALID_HANDLE_VALUE) {
    why = "no new file can be made beside it (" + SystemWhy(GetLastError()) + ")";
    return false;
  }
  Handle fresh(created);
  DWORD written = 0;
  const bool stored =
      WriteFile(fresh.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size() && FlushFileBuffers(fresh.Get()) && fresh.Close() &&
      MoveFileExW(name.c_str(), file.wstring().c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!stored) {
    why = SystemWhy(GetLastError());
    fresh.Close();
    DeleteFileW(name.c_str());
    return false;
  }
  return true;
}

}  // namespace bb
