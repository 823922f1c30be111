#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/console.h"

namespace bb {

// The command-line program's console: log lines on standard output exactly as
// the log list shows them, everything else on standard error.
class TerminalConsole final : public Console {
 public:
  TerminalConsole(std::FILE* log, std::FILE* status) : log_(log), status_(status) {}

  void AddLogLine(std::string_view text) override;
  // The terminal keeps what it printed; the list as the window would show it
  // decides the exit status.
  void ClearLog() override { lines_.clear(); }
  void SetStatusText(std::string_view text) override;
  void SetCaption(std::string_view text) override;
  void RepaintNow() override { std::fflush(log_); }

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  std::FILE* log_;
  std::FILE* status_;
};

}  // namespace bb
