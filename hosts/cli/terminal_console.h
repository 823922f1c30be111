#pragma once

#include <cstdio>

#include "platform/console.h"

namespace bb {

// The command-line program's console: log lines on standard output exactly as
// the log list shows them, everything else on standard error.
class TerminalConsole final : public Console {
 public:
  TerminalConsole(std::FILE* log, std::FILE* status) : log_(log), status_(status) {}

  void AddLogLine(std::string_view text) override;
  void ClearLog() override {}
  void SetStatusText(std::string_view text) override;
  void SetCaption(std::string_view text) override;
  void RepaintNow() override { std::fflush(log_); }

 private:
  std::FILE* log_;
  std::FILE* status_;
};

}  // namespace bb
