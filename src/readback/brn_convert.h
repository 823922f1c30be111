#pragma once

#include <cstdint>
#include <string>

#include "platform/console.h"

namespace bb {

// Converts the raw image in `rawName` into the BRN file `brnName`, creating or
// replacing it, and logs which of the two shapes it found. The firmware entry
// gets the id `fwFileId`. Returns 0, or 2 when a name is missing, the raw image
// is refused (nothing is written then) or the BRN file cannot be created or
// written in full. A BRN file that fails part-way is removed: the check that
// opens BRN files looks only at their ends and size, and would take a truncated
// or hole-filled file for a good one.
int ConvertToBrn(const std::string& rawName, const std::string& brnName, std::uint16_t fwFileId,
                 Console& console);

}  // namespace bb
