#pragma once

#include <cstdint>
#include <string>

#include "common/context.h"
#include "common/burn_job.h"
#include "platform/console.h"
#include "platform/profile.h"

namespace bb {

// Reads the job, with the SHA-256 pins of its images, from section "2860" of
// the configuration file, in one reading, and sets the transfer settings.
// Returns 0, or -1 (logged) for a controller other than the VEXA2860, a
// missing job, or a file that could not be read whole (a pin in it might
// have read as none); the job then stays as it was.
int LoadJob(Profile& profile, Context& context, Console& console, std::int32_t controllerCode,
            BurnJob* job);

// The most storage-write status polls IspTimeoutSec may ask for: an hour of
// them, five seconds apart. 0 is a time-out at once, without a poll.
inline constexpr std::int64_t kMostIspTimeoutPolls = 720;
bool IspTimeoutInRange(const BurnJob& job);
// "outside the range 0 to 720", for the texts that name the range.
std::string IspTimeoutRangeText();
// True when the job's IspTimeoutSec is in range; else logs the line that says
// it is not, and a run must not start.
bool CheckIspTimeout(const BurnJob& job, Console& console);

// Writes the job's three paths back in one write, for the VEXA2860 only. A
// failed write is not reported.
void SaveJobFiles(Profile& profile, const Context& context, std::int32_t controllerCode,
                  const BurnJob* job);

}  // namespace bb
