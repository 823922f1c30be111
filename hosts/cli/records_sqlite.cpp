#include "platform/sqlite/sqlite_run_store.h"
#include "platform/std/system_clock.h"
#include "records.h"

namespace bb::cli {

Records OpenRecords(const std::string& path) {
  Records records;
  records.clock = std::make_unique<SystemClock>();
  OpenedStore opened = OpenRunStore(path, StoreUse::kWrite, StoreWaits{*records.clock});
  records.store = std::move(opened.store);
  records.notes = std::move(opened.notes);
  return records;
}

}  // namespace bb::cli
