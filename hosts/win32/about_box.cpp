#include "about_box.h"

#include "app/main_window.h"
#include "platform/win32/utf16.h"
#include "resource_ids.h"

namespace bb::win {

namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* version = reinterpret_cast<const ProductVersion*>(lParam);
    SetDlgItemTextW(dialog, kAboutVersionText, ToUtf16(AboutVersionText(*version)).c_str());
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void ShowAbout(HINSTANCE instance, HWND owner, const ProductVersion& version) {
  ProductVersion shown = version;
  DialogBoxParamW(instance, MAKEINTRESOURCEW(kAboutDialog), owner, AboutProc,
                  reinterpret_cast<LPARAM>(&shown));
}

}  // namespace bb::win
