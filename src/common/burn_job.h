#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bb {

// What the sequencer does with the job.
enum WorkKind : std::int32_t {
  kParamOnly = 0,
  kBurn = 1,
  kBurnVerify = 2,
  kReadBack = 3,
};

// The one record of what is burned where. The values before the first load are
// the configuration file's defaults with empty paths; a parameter-only work kind
// is the one whose stray steps touch nothing on the camera.
struct BurnJob {
  std::uint32_t ParamAddress = 0;
  std::uint32_t CoreAddress = 0;
  std::uint32_t DramAddress = 0;
  std::uint32_t RomAddress = 0;
  std::uint32_t SectorAddress = 0;
  std::string ParamFile;
  std::string IspFile;
  std::string FwFile;
  // The storage write's status polls, read in 64 bits so that a negative or
  // huge value is seen as such and refused before a run sends anything.
  std::int64_t IspTimeoutSec = 30;
  std::uint16_t FwFileID = 256;
  std::int32_t WorkKind = kParamOnly;
  std::string ReadPath;
  // The SHA-256 to which the configuration pins each image, as written there
  // (64 hex digits when well formed); nullopt where no key pins the file.
  std::optional<std::string> ParamSha256;
  std::optional<std::string> IspSha256;
  std::optional<std::string> FwSha256;
};

}  // namespace bb
