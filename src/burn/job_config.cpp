#include "burn/job_config.h"

#include <memory>
#include <string>

#include "burn/image_files.h"
#include "config/int64_value.h"
#include "config/optional_value.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

namespace {

constexpr char kSection[] = "2860";

std::uint32_t ReadAddress(ProfileReading& reading, const char* key) {
  return static_cast<std::uint32_t>(reading.ReadInt(kSection, key, 0));
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

  // The job and the pins of its images come from one reading of the file, and
  // the job changes only once all of it has been read.
  const std::unique_ptr<ProfileReading> reading = profile.Read(path);
  BurnJob read = *job;
  read.ParamAddress = ReadAddress(*reading, "ParamAddress2860");
  read.CoreAddress = ReadAddress(*reading, "CoreAddress2860");
  read.DramAddress = ReadAddress(*reading, "DramAddress2860");
  read.RomAddress = ReadAddress(*reading, "RomAddress2860");
  read.SectorAddress = ReadAddress(*reading, "SectorAddress2860");

  // A value the path rule refuses leaves the field as it was; the existence
  // check before a burn catches what cannot be opened. The value is read whole:
  // cut to the path buffer it would name another file.
  for (auto [key, field] : {std::pair{"ParamFile", &read.ParamFile},
                            std::pair{"IspFile", &read.IspFile}, std::pair{"FwFile", &read.FwFile}}) {
    const std::string value = reading->ReadString(kSection, key, "", kLongestProfileValue);
    ResolveImagePath(value, *field, kMaxPath, context.executableFolder);
  }

  read.IspTimeoutSec = ReadInt64(*reading, kSection, "IspTimeoutSec", 30);
  read.FwFileID = static_cast<std::uint16_t>(reading->ReadInt(kSection, "FwFileID", 256));
  read.ReadPath.clear();
  // Read whole: a pin cut to 64 digits would pass for a file it does not name.
  for (auto [key, field] : {std::pair{"ParamSha256", &read.ParamSha256},
                            std::pair{"IspSha256", &read.IspSha256},
                            std::pair{"FwSha256", &read.FwSha256}}) {
    *field = ReadOptionalString(*reading, kSection, key, kLongestProfileValue);
  }
  if (!ReadWhole(*reading, path, console)) return -1;
  *job = std::move(read);
  return 0;
}

void SaveJobFiles(Profile& profile, const Context& context, std::int32_t controllerCode,
                  const BurnJob* job) {
  if (job == nullptr || controllerCode != kVexa2860) return;
  const ProfileEntry files[] = {{kSection, "ParamFile", job->ParamFile},
                                {kSection, "IspFile", job->IspFile},
                                {kSection, "FwFile", job->FwFile}};
  std::string why;
  profile.WriteStrings(context.configPath, files, why);
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
