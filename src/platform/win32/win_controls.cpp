#include "platform/win32/win_controls.h"

namespace bb {

bool WinControls::IsChecked(int id) { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

void WinControls::SetChecked(int id, bool checked) {
  CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool WinControls::IsEnabled(int id) { return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE; }

void WinControls::SetEnabled(int id, bool enabled) {
  EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
}

}  // namespace bb
