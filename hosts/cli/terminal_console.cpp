#include "terminal_console.h"

namespace bb {

void TerminalConsole::AddLogLine(std::string_view text) {
  lines_.emplace_back(text);
  std::fwrite(text.data(), 1, text.size(), log_);
  std::fputc('\n', log_);
}

void TerminalConsole::SetStatusText(std::string_view text) {
  std::fprintf(status_, "[status] %.*s\n", static_cast<int>(text.size()), text.data());
}

void TerminalConsole::SetCaption(std::string_view text) {
  std::fprintf(status_, "[caption] %.*s\n", static_cast<int>(text.size()), text.data());
}

}  // namespace bb
