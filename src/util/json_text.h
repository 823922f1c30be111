#pragma once

#include <string>
#include <string_view>

namespace bb {

// `text` as a JSON string, quotes included. Paths and log lines are UTF-8
// inside the program; a byte that is not part of a valid UTF-8 sequence (a path
// from an old ANSI file, say) becomes U+FFFD, so that every line a report
// writes stays valid JSON.
std::string JsonString(std::string_view text);

}  // namespace bb
