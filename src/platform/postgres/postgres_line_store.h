#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/line_store.h"

namespace bb {

// The schema version of the line's table that this program writes and reads.
inline constexpr int kLineSchemaVersion = 1;

// How long any wait on the line's server may take by default.
inline constexpr std::uint32_t kLineTimeoutMs = 10000;

// The line's PostgreSQL database at `conninfo` (a libpq connection string,
// TLS and all as it says). Connects when first asked, and again after any
// failure; a station only inserts and selects, after checking the version.
std::unique_ptr<LineStore> OpenLineStore(const std::string& conninfo, std::uint32_t timeoutMs);

// Creates the line's table, or brings it to kLineSchemaVersion, in one
// transaction; run by the database's owner. `said` tells what it did, or why not.
bool SetUpLine(const std::string& conninfo, std::uint32_t timeoutMs, std::string& said);

}  // namespace bb
