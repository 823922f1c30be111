#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bb::cli {

// The password of an `Authorization: Basic ...` header (any user name);
// nullopt for a header that is no such thing.
std::optional<std::string> BasicPassword(std::string_view header);

// Whether `given` is `token`, in a time that does not tell how much of it was
// right.
bool SameToken(std::string_view given, std::string_view token);

}  // namespace bb::cli
