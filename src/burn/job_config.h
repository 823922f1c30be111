#pragma once

#include <cstdint>

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

// Writes the job's three paths back in one write, for the VEXA2860 only. A
// failed write is not reported.
void SaveJobFiles(Profile& profile, const Context& context, std::int32_t controllerCode,
                  const BurnJob* job);

}  // namespace bb
