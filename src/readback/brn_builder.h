#pragma once

#include <cstdint>

#include "platform/native_file.h"
#include "readback/raw_image.h"

namespace bb {

// Turning a parsed raw image with groups into a BRN file. The directory is read
// and written in pieces of whole entries, so the memory used does not grow with
// the number of entries.

// True when every entry's offset fits its 32-bit field: the sizes are summed
// before anything is written, so an image refused here never touches the BRN
// file. An offset past 32 bits would point an entry at unrelated data. False
// too when an entry cannot be read.
bool BrnOffsetsFit(NativeFile& raw, const RawImageLayout& layout);

// Writes the header, the directory (the group entries keep their ids and sizes,
// their offsets follow the sizes from the first data byte on, the firmware entry
// with fwFileId and L bytes comes last, then the end mark), group A's data,
// group B's data, the firmware part and the trailer. False when any read or
// write comes up short.
bool WriteGroupedBrn(NativeFile& raw, const RawImageLayout& layout, std::uint16_t fwFileId,
                     NativeFile& brn);

}  // namespace bb
