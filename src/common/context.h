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

// The values that belong to the process: set once at start-up, then only read.
// Each camera's session takes its own copy, so that sessions running on
// several threads share nothing that changes.
struct ProcessValues {
  std::string executableFolder;
  // The one configuration file that every reader and writer of settings and
  // job uses: Isp.ini beside the window's program, or the file the command
  // line names.
  std::string configPath;
  // The executable's file name without its extension: the title of the
  // application's own message boxes.
  std::string applicationName = "Burnbench";
  ProductVersion productVersion;
  Settings settings;
};

// One camera's session: the process values and what the session's runs change.
// Written and read on the session's own thread only, without locks.
struct Context : ProcessValues {
  Context() = default;
  explicit Context(const ProcessValues& process) : ProcessValues(process) {}

  std::int32_t controllerCode = 0;
  TransferSettings transfer;
  std::string legacyFirmwarePath;
  // Set once the operator has confirmed a legacy firmware image; never cleared,
  // so Silent Mode may reuse the image for the rest of the session.
  bool legacyFirmwareConfirmed = false;
  std::uint32_t legacyDramAddress = 0;
};

}  // namespace bb
