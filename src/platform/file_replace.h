#pragma once

#include <string>
#include <string_view>

namespace bb {

// Gives the file at `path` the content `text` the way a careful editor saves:
// into a new file in the folder of the file it replaces (where `path` is a
// link, of the file the link leads to; the link stays), flushed to the disk,
// then renamed over it. A reader meets the old file or the new one, never a
// part; a write that fails (a full disk, a limit on file sizes, a folder that
// cannot be written) leaves the old file byte for byte. The new file keeps the
// old one's permissions and, where the system allows, its owner. A missing
// file is created. False on failure, with `why` in words for the operator.
bool ReplaceFileContent(const std::string& path, std::string_view text, std::string& why);

}  // namespace bb
