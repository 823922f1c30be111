#pragma once

#include <string>

namespace bb {

// Where a read verify of the camera at `location` keeps what it reads: a
// folder of its own beside the firmware file, so that cameras burned at once,
// by one program or several, never share those files. Empty when the run
// keeps to no location or has no firmware file: the verify's own place then.
std::string VerifyFolderFor(const std::string& firmware, const std::string& location);

}  // namespace bb
