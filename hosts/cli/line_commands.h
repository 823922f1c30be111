#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "cli_session.h"
#include "line_settings.h"
#include "platform/line_store.h"

namespace bb::cli {

// The line's database of `settings`; null, with the reason in `error`, where
// this build has none (Windows).
std::unique_ptr<LineStore> OpenLine(const LineSettings& settings, std::string& error);

// `forward`: sends what waits in the local database at `database`, then exits.
int RunForward(const ProcessSetup& setup, const std::string& database, std::FILE* out, std::FILE* err);

// `line-setup`: creates or migrates the line's table.
int RunLineSetup(const ProcessSetup& setup, std::FILE* out, std::FILE* err);

// `history --line`: the runs of the line's database.
int RunLineHistory(const ProcessSetup& setup, std::FILE* out, std::FILE* err);

}  // namespace bb::cli
