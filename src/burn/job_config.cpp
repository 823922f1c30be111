#include "burn/job_config.h"

#include <string>

#include "burn/image_files.h"
#include "config/int64_value.h"
#include "config/optional_value.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

namespace {

constexpr char kSection[] = "2860";

std::uint32_t ReadAddress(Profile& profile, const std::string& path, const char* key) {
  return static_cast<std::uint32_t>(profile.ReadInt(path, kSection, key, 0));
}

}  // namespace

int LoadJob(Profile& profile, Context& context, Console& console, std::int32_t controllerCode,
            BurnJob* job) {
  const std::string& path = context.configPath;
  if (job == nullptr) return -1;
  if (controllerCode != kVexa2860) {
    console.AddLogLine(Format("This chip(%d) is not supported...", controllerCode));
    return -1;
  }
  context.transfer = TransferSettings{256, 0x10000};

  job->ParamAddress = ReadAddress(profile, path, "ParamAddress2860");
  job->CoreAddress = ReadAddress(profile, path, "CoreAddress2860");
  job->DramAddress = ReadAddress(profile, path, "DramAddress2860");
  job->RomAddress = ReadAddress(profile, path, "RomAddress2860");
  job->SectorAddress = ReadAddress(profile, path, "SectorAddress2860");

  // A value the path rule refuses leaves the field as it was; the existence
  // check before a burn catches what cannot be opened. The value is read whole:
  // cut to the path buffer it would name another file.
  for (auto [key, field] : {std::pair{"ParamFile", &job->ParamFile},
                            std::pair{"IspFile", &job->IspFile}, std::pair{"FwFile", &job->FwFile}}) {
    const std::string value = profile.ReadString(path, kSection, key, "", kLongestProfileValue);
    ResolveImagePath(value, *field, kMaxPath, context.executableFolder);
  }

  job->IspTimeoutSec = ReadInt64(profile, path, kSection, "IspTimeoutSec", 30);
  job->FwFileID = static_cast<std::uint16_t>(profile.ReadInt(path, kSection, "FwFileID", 256));
  job->ReadPath.clear();
  // Read whole: a pin cut to 64 digits would pass for a file it does not name.
  for (auto [key, field] : {std::pair{"ParamSha256", &job->ParamSha256},
                            std::pair{"IspSha256", &job->IspSha256},
                            std::pair{"FwSha256", &job->FwSha256}}) {
    *field = ReadOptionalString(profile, path, kSection, key, kLongestProfileValue);
  }
  return 0;
}

void SaveJobFiles(Profile& profile, const Context& context, std::int32_t controllerCode,
                  const BurnJob* job) {
  if (job == nullptr || controllerCode != kVexa2860) return;
  const std::string& path = context.configPath;
  profile.WriteString(path, kSection, "ParamFile", job->ParamFile);
  profile.WriteString(path, kSection, "IspFile", job->IspFile);
  profile.WriteString(path, kSection, "FwFile", job->FwFile);
}

bool IspTimeoutInRange(const BurnJob& job) {
  return job.IspTimeoutSec >= 0 && job.IspTimeoutSec <= kMostIspTimeoutPolls;
}

std::string IspTimeoutRangeText() {
  return Format("outside the range 0 to %lld", static_cast<long long>(kMostIspTimeoutPolls));
}

bool CheckIspTimeout(const BurnJob& job, Console& console) {
  if (IspTimeoutInRange(job)) return true;
  console.AddLogLine(Format("IspTimeoutSec is %lld, %s !!!", static_cast<long long>(job.IspTimeoutSec),
                            IspTimeoutRangeText().c_str()));
  return false;
}

}  // namespace bb
