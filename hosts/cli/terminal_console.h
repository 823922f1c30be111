#pragma once

#include <string>

#include "platform/console.h"
#include "terminal.h"

namespace bb {

// The command-line program's console: log lines on standard output exactly as
// the log list shows them, everything else on standard error.
class TerminalConsole final : public Console {
 public:
  explicit TerminalConsole(cli::TerminalChannel channel) : channel_(channel) {}

  void AddLogLine(std::string_view text) override { channel_.Log(text); }
  // The terminal keeps what it printed.
  void ClearLog() override {}
  void SetStatusText(std::string_view text) override;
  void SetCaption(std::string_view text) override;
  // Every line is on its way as soon as it is written.
  void RepaintNow() override {}

 private:
  cli::TerminalChannel channel_;
};

}  // namespace bb
