#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bb {

// "2024-05-01T12:34:56.789Z": milliseconds since 1970 as UTC text of fixed
// width, so that such texts sort as their times do.
std::string IsoUtc(std::int64_t utcMs);

// The milliseconds of a text IsoUtc wrote; also without the fraction or with
// fewer digits of it. nullopt for anything else.
std::optional<std::int64_t> ParseIsoUtc(std::string_view text);

}  // namespace bb
