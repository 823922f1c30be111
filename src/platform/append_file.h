#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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

#if !defined(_WIN32)
// What TakeWhole does with a file's text: nullopt leaves the file as it is,
// a text replaces all of it (an empty one empties the file).
using TakeText = std::function<std::optional<std::string>(std::string_view text)>;

// The largest file TakeWhole reads.
inline constexpr std::uint64_t kLargestTakenFile = std::uint64_t{256} << 20;

// Hands the whole text of the file at `path` to `take` under the lock that
// AppendWhole takes, so that no line appended meanwhile is lost, and leaves
// in it what `take` returns. The file is emptied, never removed: a program
// waiting for its lock appends to the same file. A missing or empty file is
// not handed over. False when the file cannot be opened, locked or read
// (one above kLargestTakenFile is not read), or the new text not written.
bool TakeWhole(const std::string& path, const TakeText& take);
#endif

}  // namespace bb
