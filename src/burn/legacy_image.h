#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/job_images.h"
#include "config/settings.h"
#include "platform/console.h"

namespace bb {

// The firmware image of a legacy write as the camera takes it: whole blocks.
// With LinkFlag exactly 1 it is the 512 KiB image of the camera's storage, 0xFF
// where the file leaves it free, with the bad-pixel table just before its last
// byte; otherwise the file, padded with zeros to the block boundary.
struct LegacyImage {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::uint32_t blocks = 0;
  // Blocks times the block unit: the bytes sent.
  std::uint32_t length = 0;
};

inline constexpr std::uint32_t kLinkedImageSize = 0x80000;

// The key in section "BadPixel" that pins the bad-pixel table's SHA-256.
inline constexpr char kBadPixelPinKey[] = "BadPixelSha256";

// Reads the firmware (and with LinkFlag the bad-pixel table `table`, named by
// BadpixelFile) into `image`. Returns 0; 2 when a file cannot be opened, is of
// a size that cannot be used, shrank while it was read, or is an image that is
// empty or not the one its pin names, or when a pinned firmware would take a
// table without a pin; 8 when there is no memory. Only a firmware too large
// for the linked image, a short read, a missing table pin and a refused image
// are logged. `blockUnit` is not 0.
int PrepareLegacyImage(const JobImage& firmware, const JobImage& table, const Settings& settings,
                       std::uint16_t blockUnit, Console& console, LegacyImage& image);

}  // namespace bb
