#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/run_store.h"

namespace bb {

// How long a write waits for a database that another program is writing.
inline constexpr std::uint32_t kBusyRetryMs = 5000;

// What a program does with the records database: a writer makes it when it
// is missing; a reader of a missing one gets no store.
enum class StoreUse { kWrite, kRead };

// How a store waits for a busy database: pauses on `clock`, `busyRetryMs` in
// all, before it gives up.
struct StoreWaits {
  Clock& clock;
  std::uint32_t busyRetryMs = kBusyRetryMs;
};

struct OpenedStore {
  std::unique_ptr<RunStore> store;
  // What the operator should know of the opening, a line each: a database
  // newer than the program, one that cannot be opened, pending records taken in.
  std::vector<std::string> notes;
};

// Opens the SQLite database at `path` as the store of record. Its schema
// version is read first on a read-only connection: a database newer than this
// program stays read-only and is never changed (setting WAL would change it).
// Any other is opened for writing in WAL mode with synchronous=FULL,
// migrated, and given the records waiting in its pending file. A database that
// cannot be opened still yields a store: its records go to the pending file.
// `waits.clock` must outlive the store.
OpenedStore OpenRunStore(const std::string& path, StoreUse use, StoreWaits waits);

// "burnbench-pending.jsonl" beside the database: where records wait that the
// database could not take.
std::string PendingPath(const std::string& databasePath);

}  // namespace bb
