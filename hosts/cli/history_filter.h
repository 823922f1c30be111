#pragma once

#include <cstdint>
#include <string>

#include "history_options.h"
#include "platform/run_store.h"

namespace bb::cli {

// The filter that the history options name, the times in local time before
// `nowUtcMs`; false with `error` for a value that names none.
bool FilterOf(const HistoryOptions& history, std::int64_t nowUtcMs, RunFilter& filter, std::string& error);

}  // namespace bb::cli
