#pragma once

namespace bb {

// The main window's buttons, check boxes and radios, by their numeric control
// ids. User-interface thread only.
class Controls {
 public:
  virtual ~Controls() = default;
  virtual bool IsChecked(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual bool IsEnabled(int id) = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;
};

}  // namespace bb
