#pragma once

#include <string>
#include <string_view>

namespace bb {

// Appends `text` to the end of the file at `path` (UTF-8), creating it when
// missing, with one write of the system that always lands at the end of the
// file: several threads and processes may append to one file at once without
// their texts mixing or overwriting each other. False when the file cannot be
// opened or the text not written whole.
bool AppendWhole(const std::string& path, std::string_view text);

}  // namespace bb
