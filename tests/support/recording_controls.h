#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace bb::test {

// The main window's controls as state, with every change recorded in order.
class RecordingControls final : public Controls {
 public:
  bool IsChecked(int id) override { return checked[id]; }
  void SetChecked(int id, bool value) override {
    checked[id] = value;
    calls.push_back((value ? "check " : "uncheck ") + std::to_string(id));
  }
  bool IsEnabled(int id) override {
    auto found = enabled.find(id);
    return found == enabled.end() || found->second;
  }
  void SetEnabled(int id, bool value) override {
    enabled[id] = value;
    calls.push_back((value ? "enable " : "disable ") + std::to_string(id));
  }

  std::map<int, bool> checked;
  std::map<int, bool> enabled;
  std::vector<std::string> calls;
};

}  // namespace bb::test
