#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "main_dialog.h"

// The program is its main window: it ends when the window is closed.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);
  // The folder browser needs COM on this thread.
  const bool ole = SUCCEEDED(OleInitialize(nullptr));

  int exitCode = 1;
  {
    bb::win::MainDialog dialog(instance);
    if (dialog.Create() != nullptr) {
      MSG message;
      for (;;) {
        // A simulated camera comes back when nothing else is waiting.
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) dialog.OnIdle();
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (dialog.FilterMessage(message)) continue;
        if (dialog.TakeDialogMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      exitCode = 0;
    }
  }
  if (ole) OleUninitialize();
  return exitCode;
}
