#pragma once

#include <cstdio>

#include "common/burn_job.h"
#include "config/settings.h"

namespace bb::cli {

// One "name = value" line for each setting and job value, in the order of the
// configuration file's tables, numbers in decimal.
void PrintConfig(const Settings& settings, const BurnJob& job, std::FILE* out);

}  // namespace bb::cli
