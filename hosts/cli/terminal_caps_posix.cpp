#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "terminal_caps.h"

namespace bb::cli {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

bool EnableCursorMoves(std::FILE* stream) {
  const char* term = std::getenv("TERM");
  return IsTerminal(stream) && term != nullptr && std::strcmp(term, "dumb") != 0;
}

std::size_t TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

}  // namespace bb::cli
