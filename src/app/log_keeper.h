#pragma once

#include <string>
#include <vector>

#include "platform/console.h"

namespace bb {

// Passes every console call on and keeps the log list's lines since it was
// last emptied, for hosts whose console cannot be read back (a list box).
class LogKeeper final : public Console {
 public:
  explicit LogKeeper(Console& inner) : inner_(inner) {}

  void AddLogLine(std::string_view text) override {
    lines_.emplace_back(text);
    inner_.AddLogLine(text);
  }
  void ClearLog() override {
    lines_.clear();
    inner_.ClearLog();
  }
  void SetStatusText(std::string_view text) override { inner_.SetStatusText(text); }
  void SetCaption(std::string_view text) override { inner_.SetCaption(text); }
  void RepaintNow() override { inner_.RepaintNow(); }

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  Console& inner_;
  std::vector<std::string> lines_;
};

}  // namespace bb
