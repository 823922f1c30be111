#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace bb {

// Legacy address tables are indexed by controller, mode radio and media radio.
enum class LegacyController { k616 = 0, k618 = 1 };
enum class LegacyMode { kMask = 0, kNormal = 1 };
enum class LegacyMedia { kNand = 0, kRom = 1 };

struct LegacyAddresses {
  // [controller][mode][media]
  std::array<std::array<std::array<std::uint32_t, 2>, 2>, 2> values{};

  std::uint32_t& At(LegacyController controller, LegacyMode mode, LegacyMedia media) {
    return values[static_cast<std::size_t>(controller)][static_cast<std::size_t>(mode)]
                 [static_cast<std::size_t>(media)];
  }
  std::uint32_t At(LegacyController controller, LegacyMode mode, LegacyMedia media) const {
    return values[static_cast<std::size_t>(controller)][static_cast<std::size_t>(mode)]
                 [static_cast<std::size_t>(media)];
  }
};

// The start-up values of Isp.ini: read once, then only read. All 0 or empty
// until they have been read.
struct Settings {
  std::int32_t controllerCode = 0;  // ChipID
  LegacyAddresses legacyCoreAddress;
  LegacyAddresses legacyDramAddress;
  std::uint32_t NandReserveSize616 = 0;
  std::uint32_t NandReserveSize618 = 0;
  std::int32_t AutoPowerDown2860 = 0;
  std::int32_t LinkFlag = 0;
  std::string BadpixelFile;
  std::int32_t MaskFlag = 0;
  std::int32_t MaskRom = 0;
  std::int32_t MaskNand = 0;
  std::int32_t NormalRom = 0;
  std::int32_t NormalNand = 0;
  // [Usb] Ids: the USB ids of the cameras where libusb takes the driver's
  // place, as written ("1234:5678,1234:5679").
  std::string usbIds;
  // [Report] File: where every run appends its report line; empty for none.
  std::string reportFile;
  // [Records] Database: the database of every run, as written; empty for the
  // default, "none" for none.
  std::string recordsDatabase;
};

}  // namespace bb
