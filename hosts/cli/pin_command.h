#pragma once

#include <cstdio>

#include "common/burn_job.h"
#include "common/context.h"
#include "platform/profile.h"

namespace bb::cli {

// `pin`: hashes the job's three images and writes ParamSha256, IspSha256 and
// FwSha256 into section "2860" of the configuration file, and, where the
// legacy firmware write merges the bad-pixel table (LinkFlag=1), the table's
// BadPixelSha256 into section "BadPixel"; all in one write that changes
// nothing else in the file. Prints each key as it was written. Returns the
// exit status: 0, 1 when the file could not be written (saying why), 2 when
// an image cannot be read or is empty (nothing is written then).
int PinJobImages(Profile& profile, const Context& context, const BurnJob& job, std::FILE* out,
                 std::FILE* err);

}  // namespace bb::cli
