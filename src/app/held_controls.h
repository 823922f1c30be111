#pragma once

#include <map>

#include "platform/controls.h"

namespace bb {

// The window's controls for a session without a window: check boxes hold
// what its order set; enabling buttons has nothing to show.
class HeldControls final : public Controls {
 public:
  bool IsChecked(int id) override { return checked_[id]; }
  void SetChecked(int id, bool checked) override { checked_[id] = checked; }
  bool IsEnabled(int) override { return true; }
  void SetEnabled(int, bool) override {}

 private:
  std::map<int, bool> checked_;
};

}  // namespace bb
