#pragma once

#include <string>
#include <vector>

#include "platform/console.h"
#include "terminal.h"

namespace bb {

// The command-line program's console: log lines on standard output exactly as
// the log list shows them, everything else on standard error.
class TerminalConsole final : public Console {
 public:
  explicit TerminalConsole(cli::TerminalChannel channel) : channel_(channel) {}

  void AddLogLine(std::string_view text) override;
  // The terminal keeps what it printed; the list as the window would show it
  // decides the exit status.
  void ClearLog() override { lines_.clear(); }
  void SetStatusText(std::string_view text) override;
  void SetCaption(std::string_view text) override;
  // Every line is on its way as soon as it is written.
  void RepaintNow() override {}

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  cli::TerminalChannel channel_;
};

}  // namespace bb
