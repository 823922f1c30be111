#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <span>

namespace bb {

// Positioned reads and copies on binary streams. Each call states whether it
// moved every byte asked for; a short read is a failure, never a partial result.

// Reads exactly out.size() bytes starting `offset` bytes from the beginning.
bool ReadAt(std::istream& stream, std::uint64_t offset, std::span<std::uint8_t> out);

// Copies `length` bytes, starting `offset` bytes from the source's beginning,
// to the destination's current position, through one 64 KiB buffer. Returns
// false as soon as a read comes up short or a write fails.
bool CopyFileRange(std::istream& source, std::ostream& destination, std::uint64_t offset,
                   std::uint64_t length);

}  // namespace bb
