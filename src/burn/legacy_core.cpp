#include "burn/legacy_core.h"

#include <array>

#include "common/context.h"
#include "common/control_ids.h"
#include "util/format.h"

namespace bb {

namespace {

struct RadioPair {
  int modeRadio;
  int mediaRadio;
  LegacyMode mode;
  LegacyMedia media;
};

constexpr std::array<RadioPair, 4> kPairsInOrder{{
    {kNormalRadio, kRomRadio, LegacyMode::kNormal, LegacyMedia::kRom},
    {kNormalRadio, kNandRadio, LegacyMode::kNormal, LegacyMedia::kNand},
    {kMaskRadio, kRomRadio, LegacyMode::kMask, LegacyMedia::kRom},
    {kMaskRadio, kNandRadio, LegacyMode::kMask, LegacyMedia::kNand},
}};

// [controller][mode][media], indexed like LegacyAddresses.
constexpr std::array<std::array<std::array<const char*, 2>, 2>, 2> kCoreFiles{{
    {{{"ispmask-nand.bin", "ispmask-rom.bin"}, {"ispnormal-nand.bin", "ispnormal-rom.bin"}}},
    {{{"isp_nand_618.bin", "isp_rom_618.bin"},
      {"isp_nand_618_normal.bin", "isp_rom_618_normal.bin"}}},
}};

// The VEXA611 has one core at a fixed address for every radio.
constexpr const char* kVexa611CoreFile = "usbisp.bin";
constexpr std::uint32_t kVexa611CoreAddress = 0x9000;

}  // namespace

LegacyCore ChooseLegacyCore(std::int32_t controller, Controls& controls, const Settings& settings) {
  if (controller == kVexa611) {
    return LegacyCore{kVexa611CoreFile, kVexa611CoreAddress, std::nullopt, "611", "CoreSha256_611"};
  }
  const LegacyController which =
      controller == kVexa616 ? LegacyController::k616 : LegacyController::k618;
  const char* section = which == LegacyController::k616 ? "616" : "618";
  for (const RadioPair& pair : kPairsInOrder) {
    if (!controls.IsChecked(pair.modeRadio) || !controls.IsChecked(pair.mediaRadio)) continue;
    const char* name = kCoreFiles[static_cast<std::size_t>(which)]
                                 [static_cast<std::size_t>(pair.mode)]
                                 [static_cast<std::size_t>(pair.media)];
    // Named like the pair's address keys: CoreAddress616_MR, CoreSha256_616_MR.
    const char suffix[] = {pair.mode == LegacyMode::kMask ? 'M' : 'N',
                           pair.media == LegacyMedia::kNand ? 'N' : 'R', '\0'};
    return LegacyCore{name, settings.legacyCoreAddress.At(which, pair.mode, pair.media),
                      settings.legacyDramAddress.At(which, pair.mode, pair.media), section,
                      Format("CoreSha256_%s_%s", section, suffix)};
  }
  return LegacyCore{};
}

LegacyPinKey LegacyFirmwarePinKey(std::int32_t controller) {
  switch (controller) {
    case kVexa611:
      return {"611", "FwSha256_611"};
    case kVexa616:
      return {"616", "FwSha256_616"};
    case kVexa618:
      return {"618", "FwSha256_618"};
    default:
      return {};
  }
}

}  // namespace bb
