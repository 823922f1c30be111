#pragma once

#include <string>

#include "platform/record/recording.h"

namespace bb::record {

// What a recording's header says about where it was made: "Linux x86_64",
// "Windows i686".
std::string PlatformName();
// The time now in UTC: "2024-05-01T09:30:00Z".
std::string UtcNow();
// An image file of the job as it is now; not present when it cannot be read.
ImageFile HashImage(std::string role, const std::string& path);
// What a recording made at `path` would overwrite of the run's own input: the
// role of an image file of the header ("FwFile"), "the configuration file",
// or empty when it is none of them. A mistyped --record must never destroy
// the firmware that is about to be burnt.
std::string OverwrittenInput(const std::string& path, const RecordingHeader& header,
                             const std::string& configPath);

}  // namespace bb::record
