#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli_options.h"
#include "config/settings.h"
#include "platform/clock.h"
#include "platform/run_store.h"

namespace bb::cli {

// Where the runs of the command line are recorded: --db, else [Records]
// Database (a relative path within the folder of Isp.ini), else burnbench.db
// beside Isp.ini; empty for none ("none").
std::string DatabasePathFor(const Options& options, const Settings& settings, const std::string& iniFolder);

// The database of runs as this program uses it; no store where the build
// keeps none.
struct Records {
  std::unique_ptr<Clock> clock;
  std::unique_ptr<RunStore> store;
  // What the operator should know of the opening, a line each.
  std::vector<std::string> notes;
};

// Opens the database at `path` for the runs of this program.
Records OpenRecords(const std::string& path);

// The history command against the database at `path`.
int RunHistory(const Options& options, const std::string& path, std::FILE* out, std::FILE* err);

}  // namespace bb::cli
