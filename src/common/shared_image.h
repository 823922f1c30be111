#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util/sha256.h"

namespace bb {

// An image file of the job as a station read it once for all its sessions:
// its bytes with zeros behind them, and the SHA-256 and size of exactly those
// bytes. Read-only, so every session sends the bytes that were hashed.
struct SharedImage {
  std::string path;
  std::shared_ptr<const std::uint8_t[]> buffer;
  FileDigest digest{};
  std::uint64_t slack = 0;
  // The job's key that names the file (ParamFile, IspFile, FwFile).
  std::string key;
};

using SharedImages = std::vector<SharedImage>;

}  // namespace bb
