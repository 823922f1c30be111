#include "platform/win32/win_process_info.h"

#include <windows.h>

#include <vector>

#include "platform/win32/utf16.h"

namespace bb {

namespace {

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

std::string WinProcessInfo::ExecutablePath() { return ToUtf8(ModulePath()); }

std::optional<ProductVersion> WinProcessInfo::ReadProductVersionInfo() {
  const std::wstring path = ModulePath();
  if (path.empty()) return std::nullopt;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return std::nullopt;
  // A block without a translation table is not a version resource we trust.
  void* translation = nullptr;
  UINT translationSize = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &translationSize)) {
    return std::nullopt;
  }
  void* fixed = nullptr;
  UINT fixedSize = 0;
  if (!VerQueryValueW(block.data(), L"\\", &fixed, &fixedSize) || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return ProductVersion{info->dwProductVersionMS, info->dwProductVersionLS};
}

}  // namespace bb
