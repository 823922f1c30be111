#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace bb {

// Objects keep their members in the order they were added, as the reports
// have always written them.
using Json = nlohmann::ordered_json;

// `value` as compact JSON text. Texts are UTF-8 inside the program; a byte
// that is not part of a valid UTF-8 sequence (a path from an old ANSI file,
// say) becomes U+FFFD, so that every line written stays valid JSON and
// writing never fails.
std::string JsonText(const Json& value);

// `text` as a JSON string, quotes included, by the same rule.
std::string JsonString(std::string_view text);

}  // namespace bb
