#include "platform/win32/win_console.h"

#include <commctrl.h>

#include "common/control_ids.h"
#include "platform/win32/utf16.h"

namespace bb {

void WinConsole::AddLogLine(std::string_view text) {
  const std::wstring line = ToUtf16(text);
  SendDlgItemMessageW(window_, kLogList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void WinConsole::ClearLog() { SendDlgItemMessageW(window_, kLogList, LB_RESETCONTENT, 0, 0); }

void WinConsole::SetStatusText(std::string_view text) {
  const std::wstring status = ToUtf16(text);
  SendDlgItemMessageW(window_, kStatusBar, SB_SETTEXTW, 0,
                      reinterpret_cast<LPARAM>(status.c_str()));
}

void WinConsole::SetCaption(std::string_view text) {
  SetWindowTextW(window_, ToUtf16(text).c_str());
}

void WinConsole::RepaintNow() { UpdateWindow(window_); }

}  // namespace bb
