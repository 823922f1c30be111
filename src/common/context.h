#pragma once

#include <cstdint>
#include <string>

#include "config/settings.h"
#include "platform/process_info.h"

namespace bb {

// Chunk and block sizes of firmware transfers. The values before any job has
// been loaded are the camera's conservative defaults; loading a job raises them.
struct TransferSettings {
  std::uint16_t BlockUnit = 128;
  std::uint32_t BulkChunk = 4096;
};

// Controller codes.
inline constexpr std::int32_t kVexa611 = 4;
inline constexpr std::int32_t kVexa616 = 6;
inline constexpr std::int32_t kVexa618 = 8;
inline constexpr std::int32_t kVexa2860 = 10;

// The values that live for the whole process. The host creates one and passes it
// down; it is written on the user-interface thread (start-up, the legacy radios)
// and read there without locks.
struct Context {
  std::string executableFolder;
  // The one configuration file that every reader and writer of settings and
  // job uses: Isp.ini beside the window's program, or the file the command
  // line names.
  std::string configPath;
  // The executable's file name without its extension: the title of the
  // application's own message boxes.
  std::string applicationName = "Burnbench";
  std::int32_t controllerCode = 0;
  ProductVersion productVersion;
  Settings settings;
  TransferSettings transfer;
  std::string legacyFirmwarePath;
  // Set once the operator has confirmed a legacy firmware image; never cleared,
  // so Silent Mode may reuse the image for the rest of the process.
  bool legacyFirmwareConfirmed = false;
  std::uint32_t legacyDramAddress = 0;
};

}  // namespace bb
