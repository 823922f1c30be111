#pragma once

#include <optional>
#include <string>

#include "platform/native_file.h"
#include "readback/brn_layout.h"

namespace bb {

// Opens a BRN file for reading if its magic, its trailer and its size pass:
// the size must exceed 10 x (1 + countA + countB) + 44 + dataA + dataB, which a
// converted file does exactly when its firmware part is longer than 8 bytes.
// The sum is taken in 64 bits, so counts that would wrap a 32-bit sum cannot make
// a file whose directory does not fit look large enough. On success `header`
// holds the header in host order; on refusal the file is closed and `header`
// is left alone.
std::optional<NativeFile> OpenBrnFile(const std::string& name, BrnHeader& header);

}  // namespace bb
