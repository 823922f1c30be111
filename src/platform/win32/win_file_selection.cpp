#include "platform/win32/win_file_selection.h"

#include <array>

#include "common/file_selection.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win_open_file.h"

namespace bb {

namespace {

constexpr int kParameterEdit = 1028;
constexpr int kParameterBrowse = 1029;
constexpr int kCoreEdit = 1030;
constexpr int kCoreBrowse = 1031;
constexpr int kFirmwareEdit = 1032;
constexpr int kFirmwareBrowse = 1033;
constexpr int kParamOnlyCheck = 1035;

struct Row {
  JobFileRow row;
  int edit;
  int browse;
};
constexpr std::array<Row, 3> kRows = {{{JobFileRow::kParameter, kParameterEdit, kParameterBrowse},
                                       {JobFileRow::kCore, kCoreEdit, kCoreBrowse},
                                       {JobFileRow::kFirmware, kFirmwareEdit, kFirmwareBrowse}}};

// The dialog's stored values; the controls show them after every load.
struct DialogValues {
  std::array<std::string, 3> paths;
  bool paramOnly = false;
  std::string applicationName;
};

DialogValues& ValuesOf(HWND dialog) {
  return *reinterpret_cast<DialogValues*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void LoadControls(HWND dialog, const DialogValues& values) {
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    SendDlgItemMessageW(dialog, kRows[i].edit, EM_LIMITTEXT, kJobFileTextLimit, 0);
    SetDlgItemTextW(dialog, kRows[i].edit, ToUtf16(values.paths[i]).c_str());
  }
  CheckDlgButton(dialog, kParamOnlyCheck, values.paramOnly ? BST_CHECKED : BST_UNCHECKED);
}

std::string EditText(HWND dialog, int id) {
  const HWND edit = GetDlgItem(dialog, id);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
  const int length = GetWindowTextW(edit, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return ToUtf8(text);
}

// Saves every edit into its value, or refuses the first over-long one as the
// dialog framework would: a message, the focus on that edit, the dialog open.
bool SaveControls(HWND dialog, DialogValues& values) {
  std::array<std::string, 3> texts;
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    texts[i] = EditText(dialog, kRows[i].edit);
    if (!FitsJobFileLimit(texts[i])) {
      MessageBoxW(dialog, L"Please enter no more than 255 characters.",
                  ToUtf16(values.applicationName).c_str(), MB_OK | MB_ICONEXCLAMATION);
      const HWND edit = GetDlgItem(dialog, kRows[i].edit);
      SetFocus(edit);
      SendMessageW(edit, EM_SETSEL, 0, -1);
      return false;
    }
  }
  values.paths = texts;
  return true;
}

void Browse(HWND dialog, DialogValues& values, std::size_t index) {
  const OpenFileRequest request = BrowseRequest(kRows[index].row, values.paths[index]);
  if (const std::optional<std::string> chosen = ShowOpenFileDialog(dialog, request)) {
    values.paths[index] = *chosen;
  }
  LoadControls(dialog, values);
}

INT_PTR CALLBACK FileSelectionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      LoadControls(dialog, *reinterpret_cast<DialogValues*>(lParam));
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDOK) {
        if (SaveControls(dialog, ValuesOf(dialog))) EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      if (id == kParamOnlyCheck) {
        // The check box toggles itself; the stored flag follows it.
        ValuesOf(dialog).paramOnly = !ValuesOf(dialog).paramOnly;
        return TRUE;
      }
      for (std::size_t i = 0; i < kRows.size(); ++i) {
        if (id == kRows[i].browse) {
          Browse(dialog, ValuesOf(dialog), i);
          return TRUE;
        }
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

bool RunFileSelectionDialog(HINSTANCE instance, int templateId, HWND owner,
                            const std::string& applicationName, JobFileChoice& files) {
  DialogValues values{{files.paramFile, files.ispFile, files.fwFile}, false, applicationName};
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner,
                                         FileSelectionProc, reinterpret_cast<LPARAM>(&values));
  files.paramOnly = values.paramOnly;
  if (result != IDOK) return false;
  files.paramFile = values.paths[0];
  files.ispFile = values.paths[1];
  files.fwFile = values.paths[2];
  return true;
}

}  // namespace bb
