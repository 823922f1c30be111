#pragma once

#include "common/burn_job.h"

namespace bb {

// What the main window keeps between operations.
struct WindowState {
  BurnJob job;
  // "Param Only" as the last file-selection dialog left it.
  bool paramOnly = false;
};

}  // namespace bb
