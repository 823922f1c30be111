#include "config/read_settings.h"

#include <fstream>

#include "util/binary_file.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

namespace {

constexpr std::size_t kBadpixelFileCapacity = 255;
constexpr std::size_t kUsbIdsCapacity = 1023;

void ReadLegacyAddresses(Profile& profile, const std::string& path, Settings& settings) {
  struct Controller {
    LegacyController index;
    const char* name;
  };
  constexpr Controller kControllers[] = {{LegacyController::k616, "616"},
                                         {LegacyController::k618, "618"}};
  constexpr LegacyMode kModes[] = {LegacyMode::kMask, LegacyMode::kNormal};
  constexpr LegacyMedia kMedia[] = {LegacyMedia::kNand, LegacyMedia::kRom};
  for (const Controller& controller : kControllers) {
    for (const LegacyMode mode : kModes) {
      for (const LegacyMedia media : kMedia) {
        const char suffix[] = {mode == LegacyMode::kMask ? 'M' : 'N',
                               media == LegacyMedia::kNand ? 'N' : 'R', '\0'};
        settings.legacyCoreAddress.At(controller.index, mode, media) =
            static_cast<std::uint32_t>(profile.ReadInt(
                path, controller.name, Format("CoreAddress%s_%s", controller.name, suffix), 0));
        settings.legacyDramAddress.At(controller.index, mode, media) =
            static_cast<std::uint32_t>(profile.ReadInt(
                path, controller.name, Format("DramAddress%s_%s", controller.name, suffix), 0));
      }
    }
  }
}

}  // namespace

std::string ConfigPath(const std::string& folder) { return folder + kPathSeparator + "Isp.ini"; }

int ReadSettings(Profile& profile, const std::string& path, Settings& settings) {
  std::ifstream file;
  if (!OpenForReading(path, file)) return 2;
  file.close();
  settings.controllerCode = profile.ReadInt(path, "DevNo", "ChipID", 0);
  ReadLegacyAddresses(profile, path, settings);
  settings.NandReserveSize616 =
      static_cast<std::uint32_t>(profile.ReadInt(path, "616", "NandReserveSize616", 0));
  settings.NandReserveSize618 =
      static_cast<std::uint32_t>(profile.ReadInt(path, "618", "NandReserveSize618", 0));
  settings.AutoPowerDown2860 = profile.ReadInt(path, "2860", "AutoPowerDown2860", 0);
  settings.LinkFlag = profile.ReadInt(path, "BadPixel", "LinkFlag", 0);
  settings.BadpixelFile =
      profile.ReadString(path, "BadPixel", "BadpixelFile", "", kBadpixelFileCapacity);
  settings.MaskFlag = profile.ReadInt(path, "MaskFlag", "MaskFlag", 0);
  settings.MaskRom = profile.ReadInt(path, "MaskFlag", "MaskRom", 0);
  settings.MaskNand = profile.ReadInt(path, "MaskFlag", "MaskNand", 0);
  settings.NormalRom = profile.ReadInt(path, "MaskFlag", "NormalRom", 0);
  settings.NormalNand = profile.ReadInt(path, "MaskFlag", "NormalNand", 0);
  settings.usbIds = profile.ReadString(path, "Usb", "Ids", "", kUsbIdsCapacity);
  settings.reportFile = profile.ReadString(path, "Report", "File", "", kMaxPath);
  settings.recordsDatabase = profile.ReadString(path, "Records", "Database", "", kMaxPath);
  return 0;
}

}  // namespace bb
