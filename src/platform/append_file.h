#pragma once

#include <string>
#include <string_view>

namespace bb {

// Appends the line `text` (ending in a line break) to the end of the file at
// `path` (UTF-8), creating it when missing. Several threads and programs
// share one report: the append, its check and its undo happen under an
// exclusive lock of the whole file (flock, LockFileEx), so that a reader that
// takes the lock too never meets half a line. A file whose last line was
// left unended (a crash, a full disk of an older version) gets a line break
// first, so the text starts on a line of its own; an append that was not
// written whole is cut off again, back to the size before it. False when the
// file cannot be opened or the text not written whole.
bool AppendWhole(const std::string& path, std::string_view text);

}  // namespace bb
