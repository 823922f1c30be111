#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/run_store.h"

namespace bb {

// How the line's database took a batch.
enum class LineAnswer {
  kTaken,
  // No answer in time, or no connection: worth trying again soon.
  kUnreachable,
  // The server answered no: a wrong password, no grant, a schema this program
  // does not know. Tried again too, since an administrator may mend it.
  kSaidNo,
};

// Passed, failed and cameras per hour of one station's slot over a span.
struct LineSummaryRow {
  std::string station;
  std::string slot;
  std::uint64_t passed = 0;
  std::uint64_t failed = 0;
  double camerasPerHour = 0;
};

// The database that every station of a line sends its runs to. Each call is
// whole and bounded in time: it never waits longer than the store's time-out
// for a server that does not answer. Called from one thread at a time.
class LineStore {
 public:
  virtual ~LineStore() = default;

  // Sends `rows` in one transaction, keyed by run id: a run the server holds
  // already is left as it is, so a batch may be sent twice. `sentBy` is the
  // station that sends them. Anything but kTaken tells why in `why`.
  virtual LineAnswer Send(std::span<const RunRow> rows, const std::string& sentBy, std::string& why) = 0;

  // The runs that `filter` asks for, newest first.
  virtual bool Find(const RunFilter& filter, std::vector<RunRow>& rows, std::string& why) = 0;

  // The counts per station and slot over the span of `filter`, in one query.
  virtual bool Summary(const RunFilter& filter, std::vector<LineSummaryRow>& rows, std::string& why) = 0;
};

}  // namespace bb
