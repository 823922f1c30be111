#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/run_store.h"
#include "util/uuid.h"

namespace bb {

// The row that a line of a run report or of a pending file holds, also one
// written by an earlier version: a line without a run id is named by its
// content (a name-based UUID, version 5), so that it is known again when it
// comes twice. nullopt, with the reason in `why`, for a line that is not the
// record of a run.
std::optional<RunRow> ParseRunRowLine(std::string_view line, std::string& why);

// The name-based UUID (version 5, SHA-1) of `name` in the namespace `space`.
std::string NameUuid(const UuidBytes& space, std::string_view name);

// The same in the namespace of run records.
std::string RunNameUuid(std::string_view name);

}  // namespace bb
