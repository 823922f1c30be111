#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "config/settings.h"
#include "platform/controls.h"

namespace bb {

// The ISP core that a VEXA611, VEXA616 or VEXA618 runs for its firmware write,
// chosen by the controller and the main window's mode and media radios.
struct LegacyCore {
  // Empty when no mode and media pair is checked.
  std::string fileName;
  std::uint32_t address = 0;
  // The DRAM address that the firmware write then carries; unset where the
  // last one stays.
  std::optional<std::uint32_t> dramAddress;
  // The configuration key that may pin the core's SHA-256, in the
  // controller's section; empty when no core was chosen.
  std::string pinSection;
  std::string pinKey;
};

// The section and key that may pin the SHA-256 of a legacy controller's
// firmware ("611", "FwSha256_611"); empty for any other controller code.
struct LegacyPinKey {
  std::string section;
  std::string key;
};
LegacyPinKey LegacyFirmwarePinKey(std::int32_t controller);

// For controller codes 4, 6 and 8. The pairs are tested in the order Normal
// and Rom, Normal and Nand, Mask and Rom, Mask and Nand; the first whose two
// radios are checked decides.
LegacyCore ChooseLegacyCore(std::int32_t controller, Controls& controls, const Settings& settings);

}  // namespace bb
