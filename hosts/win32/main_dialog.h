#pragma once

#include <windows.h>

#include <memory>

#include "common/context.h"

namespace bb::win {

// The main window: dialog 102 run modelessly under the program's own message
// loop, so that the key filter sees every message before the dialog does.
class MainDialog {
 public:
  explicit MainDialog(HINSTANCE instance);
  ~MainDialog();
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // Creates the window and runs its start-up; null when it cannot be created.
  HWND Create();
  // The pre-dispatch filter; true when the message must not be dispatched.
  bool FilterMessage(const MSG& message);
  // Dialog keys (Tab, Enter, arrows) of the window; true when taken.
  bool TakeDialogMessage(MSG& message);
  // The message loop has nothing to do.
  void OnIdle();

 private:
  struct Parts;
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  BOOL OnInitDialog();
  void CreateStatusBar();
  void AddAboutMenuItem();
  void SetIcons();
  void FillControllerCombo();
  void OnCommand(int id);
  bool PaintMinimised();

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  Context context_;
  std::unique_ptr<Parts> parts_;
};

}  // namespace bb::win
