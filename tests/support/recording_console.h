#pragma once

#include <string>
#include <vector>

#include "platform/console.h"

namespace bb::test {

// Keeps the log list as the operator would see it, and every console call in
// order (so tests can see where the repaints fall).
class RecordingConsole final : public Console {
 public:
  void AddLogLine(std::string_view text) override {
    log.emplace_back(text);
    calls.push_back("log " + std::string(text));
  }
  void ClearLog() override {
    log.clear();
    calls.emplace_back("clear");
  }
  void SetStatusText(std::string_view text) override {
    status = text;
    calls.push_back("status " + std::string(text));
  }
  void SetCaption(std::string_view text) override {
    caption = text;
    calls.push_back("caption " + std::string(text));
  }
  void RepaintNow() override { calls.emplace_back("repaint"); }

  std::vector<std::string> log;
  std::string status;
  std::string caption;
  std::vector<std::string> calls;
};

}  // namespace bb::test
