#include "cli_session.h"
#include "records.h"

namespace bb::cli {

// The Windows programs keep the JSON-lines report only: Debian's MinGW
// packages hold no SQLite to build them with.
Records OpenRecords(const std::string&) { return {}; }

int RunHistory(const Options&, const std::string&, std::FILE*, std::FILE* err) {
  std::fputs("burnbench-cli: this build keeps no database of runs; use --report for a JSON-lines report\n",
             err);
  return kExitUnusable;
}

}  // namespace bb::cli
