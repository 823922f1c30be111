#pragma once

#include <cstddef>
#include <cstdio>

namespace bb::cli {

// Whether `stream` is a terminal.
bool IsTerminal(std::FILE* stream);
// Whether the terminal behind `stream` moves its cursor on escape sequences
// (switched on where the system needs it); its width in columns, 80 when it
// cannot be had.
bool EnableCursorMoves(std::FILE* stream);
std::size_t TerminalColumns(std::FILE* stream);

}  // namespace bb::cli
