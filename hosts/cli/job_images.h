#pragma once

#include <vector>

#include "cli_options.h"
#include "common/context.h"
#include "platform/profile.h"
#include "platform/record/recording.h"

namespace bb::cli {

// The image files that a command works with, hashed as they are now: the
// VEXA2860 job's three files for burn and read, the firmware for legacy.
std::vector<record::ImageFile> JobImages(const Options& options, Profile& profile,
                                         const Context& context);

}  // namespace bb::cli
