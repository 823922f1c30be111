#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "util/sha256.h"

namespace bb {

// Reads exactly `count` bytes of `file` into `destination`, hashing them piece
// by piece as they arrive: the digest is of the bytes read, never of the file
// as it may be later. nullopt when the file delivered fewer.
std::optional<FileDigest> ReadHashed(std::ifstream& file, std::uint8_t* destination,
                                     std::uint64_t count);

// One reading of an image file for sending: its bytes, zeros behind them, and
// the SHA-256 and size of exactly the bytes read. What a run checks against a
// pin, sends and reports all comes from this one reading, and the digest goes
// wherever the bytes go.
struct ImageBytes {
  // digest.size bytes of the file, then the zeros asked for; read-only, and
  // shared where a station read the file once for every session.
  std::shared_ptr<const std::uint8_t[]> buffer;
  FileDigest digest{};

  std::span<const std::uint8_t> FileBytes() const {
    return {buffer.get(), static_cast<std::size_t>(digest.size)};
  }
};

enum class ImageRead { kRead, kCannotOpen, kNoMemory, kShortRead };

// Reads the regular file at `path` whole, with `slack` zero bytes behind it.
// `size` is the file's size once it is open, for the lines that report a
// failure; a file above `maxSize` bytes is kNoMemory.
ImageRead ReadImageBytes(const std::string& path, std::uint64_t maxSize, std::uint64_t slack,
                         ImageBytes& image, std::uint64_t& size);

}  // namespace bb
