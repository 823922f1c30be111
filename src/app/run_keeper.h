#pragma once

#include "app/run_tracker.h"

namespace bb {

// Where the records of a session's runs go: a report, a database. Keeping a
// record never makes a run fail; what cannot be kept, the keeper says.
class RunKeeper {
 public:
  virtual ~RunKeeper() = default;
  virtual void Keep(const RunRecord& record) = 0;
};

}  // namespace bb
