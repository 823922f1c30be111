#pragma once

#include <map>

#include "platform/controls.h"

namespace bb::cli {

// The window's controls as the command line set them: check boxes hold what
// the options asked for; enabling buttons has nothing to show.
class CliControls final : public Controls {
 public:
  bool IsChecked(int id) override { return checked_[id]; }
  void SetChecked(int id, bool checked) override { checked_[id] = checked; }
  bool IsEnabled(int) override { return true; }
  void SetEnabled(int, bool) override {}

 private:
  std::map<int, bool> checked_;
};

}  // namespace bb::cli
