#pragma once

#include <cstdint>
#include <string>

#include "common/burn_job.h"
#include "platform/console.h"
#include "readback/read_back.h"

namespace bb {

// Compares the whole of `first` with the start of `second`. Returns 0 equal, 1
// different (`offset` then holds the first differing byte; an empty `first`
// is different too), 2 when a file cannot be opened or read, 8 without memory.
// The offset is 64-bit: a difference past 4 GiB must not be reported as one near
// the start.
int CompareFiles(const std::string& first, const std::string& second, std::uint64_t& offset);

// Reads the burned image back, converts it and compares it with the job's
// firmware file. The image read and its BRN file are named after the firmware
// file, beside it or in `folder` when one is given. 0 when it matches, else the
// failing stage's code.
int ReadVerify(BurnJob* job, ReadBack& readBack, Console& console, const std::string& folder = {});

}  // namespace bb
