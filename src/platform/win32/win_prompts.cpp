#include "platform/win32/win_prompts.h"

#include <shlobj.h>

#include <array>

#include "platform/win32/utf16.h"
#include "platform/win32/win_file_selection.h"
#include "platform/win32/win_open_file.h"

namespace bb {

namespace {

UINT IconFlag(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kError:
      return MB_ICONERROR;
    case BoxIcon::kExclamation:
      return MB_ICONEXCLAMATION;
    case BoxIcon::kQuestion:
      return MB_ICONQUESTION;
    case BoxIcon::kInformation:
      return MB_ICONINFORMATION;
    case BoxIcon::kNone:
      break;
  }
  return 0;
}

UINT ButtonFlag(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::kOkCancel:
      return MB_OKCANCEL;
    case BoxButtons::kYesNo:
      return MB_YESNO;
    case BoxButtons::kOkOnly:
      break;
  }
  return MB_OK;
}

BoxAnswer AnswerOf(int result) {
  switch (result) {
    case IDYES:
      return BoxAnswer::kYes;
    case IDNO:
      return BoxAnswer::kNo;
    case IDOK:
      return BoxAnswer::kOkPressed;
    default:
      return BoxAnswer::kCancel;
  }
}

struct FolderBrowse {
  std::wstring initialFolder;
};

// Opens on the given folder, or on the current directory; shows the path of
// each selection as the dialog's status text.
int CALLBACK FolderBrowseCallback(HWND browser, UINT message, LPARAM item, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    const auto* browse = reinterpret_cast<const FolderBrowse*>(data);
    std::wstring folder = browse->initialFolder;
    if (folder.empty()) {
      std::array<wchar_t, 256> current{};
      const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data());
      if (length < current.size()) folder.assign(current.data(), length);
    }
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
  } else if (message == BFFM_SELCHANGED) {
    std::array<wchar_t, MAX_PATH> path{};
    if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(item), path.data())) {
      SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path.data()));
    }
  }
  return 0;
}

}  // namespace

BoxAnswer WinPrompts::ShowMessageBox(const MessageBoxRequest& request) {
  const std::wstring text = ToUtf16(request.text);
  const std::wstring title = ToUtf16(request.title);
  return AnswerOf(MessageBoxW(request.ownerless ? nullptr : owner_, text.c_str(), title.c_str(),
                              IconFlag(request.icon) | ButtonFlag(request.buttons)));
}

bool WinPrompts::SelectJobFiles(JobFileChoice& files) {
  return RunFileSelectionDialog(instance_, fileSelectionTemplate_, owner_, applicationName_,
                                files);
}

std::string WinPrompts::ChooseFolder(const std::string& initialFolder) {
  FolderBrowse browse{ToUtf16(initialFolder)};
  std::array<wchar_t, MAX_PATH> displayName{};
  BROWSEINFOW info{};
  info.hwndOwner = owner_;
  info.pszDisplayName = displayName.data();
  info.lpszTitle = L"Select read path:";
  info.lpfn = FolderBrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&browse);
  const PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (chosen == nullptr) return {};
  std::array<wchar_t, MAX_PATH> path{};
  const bool named = SHGetPathFromIDListW(chosen, path.data()) != FALSE;
  CoTaskMemFree(chosen);
  return named ? ToUtf8(path.data()) : std::string();
}

std::optional<std::string> WinPrompts::ChooseOpenFile(const OpenFileRequest& request) {
  return ShowOpenFileDialog(owner_, request);
}

}  // namespace bb
