#include "config_report.h"

#include <string>

#include "burn/job_config.h"
#include "common/job_images.h"

namespace bb::cli {

namespace {

void Line(std::FILE* out, const char* name, long long value) {
  std::fprintf(out, "%s = %lld\n", name, value);
}

void Line(std::FILE* out, const char* name, const std::string& value) {
  std::fprintf(out, "%s = %s\n", name, value.c_str());
}

void LegacySection(std::FILE* out, const Settings& settings, LegacyController controller,
                   const char* number, std::uint32_t reserve) {
  struct Pair {
    LegacyMode mode;
    LegacyMedia media;
    const char* suffix;
  };
  constexpr Pair kPairs[] = {{LegacyMode::kMask, LegacyMedia::kNand, "MN"},
                             {LegacyMode::kMask, LegacyMedia::kRom, "MR"},
                             {LegacyMode::kNormal, LegacyMedia::kNand, "NN"},
                             {LegacyMode::kNormal, LegacyMedia::kRom, "NR"}};
  for (const Pair& pair : kPairs) {
    std::fprintf(out, "CoreAddress%s_%s = %u\n", number, pair.suffix,
                 settings.legacyCoreAddress.At(controller, pair.mode, pair.media));
    std::fprintf(out, "DramAddress%s_%s = %u\n", number, pair.suffix,
                 settings.legacyDramAddress.At(controller, pair.mode, pair.media));
  }
  std::fprintf(out, "NandReserveSize%s = %u\n", number, reserve);
}

}  // namespace

void PrintConfig(const Settings& settings, const BurnJob& job, std::FILE* out) {
  Line(out, "ChipID", settings.controllerCode);
  Line(out, "ParamAddress2860", job.ParamAddress);
  Line(out, "CoreAddress2860", job.CoreAddress);
  Line(out, "DramAddress2860", job.DramAddress);
  Line(out, "RomAddress2860", job.RomAddress);
  Line(out, "SectorAddress2860", job.SectorAddress);
  Line(out, "ParamFile", job.ParamFile);
  Line(out, "IspFile", job.IspFile);
  Line(out, "FwFile", job.FwFile);
  // A value that no run accepts is shown as such, beside what was read.
  const std::string polls = std::to_string(job.IspTimeoutSec);
  Line(out, "IspTimeoutSec",
       IspTimeoutInRange(job) ? polls : polls + " (" + IspTimeoutRangeText() + ")");
  Line(out, "FwFileID", job.FwFileID);
  Line(out, "AutoPowerDown2860", settings.AutoPowerDown2860);
  // A pin shows as written, so that one that is not 64 hex digits can be seen
  // for what it is; no key shows as an empty value.
  for (const JobImage& image : JobImages(job)) {
    Line(out, std::string(image.pinKey).c_str(), image.pin.value_or(""));
  }
  LegacySection(out, settings, LegacyController::k616, "616", settings.NandReserveSize616);
  LegacySection(out, settings, LegacyController::k618, "618", settings.NandReserveSize618);
  Line(out, "LinkFlag", settings.LinkFlag);
  Line(out, "BadpixelFile", settings.BadpixelFile);
  Line(out, "MaskFlag", settings.MaskFlag);
  Line(out, "MaskRom", settings.MaskRom);
  Line(out, "MaskNand", settings.MaskNand);
  Line(out, "NormalRom", settings.NormalRom);
  Line(out, "NormalNand", settings.NormalNand);
  Line(out, "Ids", settings.usbIds);
}

}  // namespace bb::cli
