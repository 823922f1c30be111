#pragma once

#include <string>

#include "common/burn_job.h"

namespace bb {

// What the main window keeps between operations.
struct WindowState {
  BurnJob job;
  // "Param Only" as the last file-selection dialog left it.
  bool paramOnly = false;
  // Where a read verify keeps the image it read back: empty for beside the
  // firmware file. Sessions that burn side by side each need their own.
  std::string verifyFolder;
  // The export asks before it replaces any file, not only the raw image and
  // its BRN file: what it writes came from elsewhere.
  bool askBeforeReplacing = false;
};

}  // namespace bb
