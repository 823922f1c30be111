#include "terminal_console.h"

namespace bb {

void TerminalConsole::SetStatusText(std::string_view text) {
  if (!channel_.Quiet()) channel_.Note("[status] " + std::string(text));
}

void TerminalConsole::SetCaption(std::string_view text) {
  if (!channel_.Quiet()) channel_.Note("[caption] " + std::string(text));
}

}  // namespace bb
