#include "platform/win32/win_open_file.h"

#include <commdlg.h>

#include <algorithm>
#include <array>

#include "platform/win32/utf16.h"

namespace bb {

std::optional<std::string> ShowOpenFileDialog(HWND owner, const OpenFileRequest& request) {
  // Description and pattern, each ended by a NUL, and one more NUL ends the list.
  std::wstring filter = ToUtf16(request.filterDescription);
  filter.push_back(L'\0');
  filter += ToUtf16(request.filterPattern);
  filter.push_back(L'\0');
  const std::wstring title = ToUtf16(request.title);
  const std::wstring folder = ToUtf16(request.initialFolder);

  std::array<wchar_t, MAX_PATH> file{};
  const std::wstring initial = ToUtf16(request.initialPath);
  std::copy_n(initial.begin(), std::min(initial.size(), file.size() - 1), file.begin());

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return ToUtf8(file.data());
}

}  // namespace bb
