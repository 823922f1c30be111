#pragma once

#include <windows.h>

#include "platform/console.h"

namespace bb {

// The main window's log list (1010), status bar (7777) and caption.
class WinConsole final : public Console {
 public:
  explicit WinConsole(HWND window) : window_(window) {}

  void AddLogLine(std::string_view text) override;
  void ClearLog() override;
  void SetStatusText(std::string_view text) override;
  void SetCaption(std::string_view text) override;
  void RepaintNow() override;

 private:
  HWND window_;
};

}  // namespace bb
