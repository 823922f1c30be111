#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bb::cli {

// The moment that `text` names in local time, as milliseconds since 1970 UTC:
// "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" (or with a T), "today", "yesterday".
// A day names its start, or, as the end of a range (`end`), the start of the
// day after it. nullopt for any other text.
std::optional<std::int64_t> ParseLocalMoment(const std::string& text, bool end, std::int64_t nowUtcMs);

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string LocalTimeText(std::int64_t utcMs);

}  // namespace bb::cli
