#pragma once

#include <windows.h>

#include "platform/controls.h"

namespace bb {

// The dialog's buttons, check boxes and radios, by control id.
class WinControls final : public Controls {
 public:
  explicit WinControls(HWND dialog) : dialog_(dialog) {}

  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  bool IsEnabled(int id) override;
  void SetEnabled(int id, bool enabled) override;

 private:
  HWND dialog_;
};

}  // namespace bb
