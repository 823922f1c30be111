#include "offline_command.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "burn/job_config.h"
#include "burn/legacy_image.h"
#include "common/job_images.h"
#include "util/sha256.h"

namespace bb::cli {

namespace {

struct Pin {
  std::string section;
  std::string key;
  const std::string& path;
  std::string hex;
};

// `pin`: hashes the job's three images and writes ParamSha256, IspSha256 and
// FwSha256 into section "2860" of the configuration file, and, where the
// legacy firmware write merges the bad-pixel table (LinkFlag=1), the table's
// BadPixelSha256 into section "BadPixel"; all in one write that changes
// nothing else in the file. Prints each key as it was written. Returns the
// exit status: 0, 1 when the file could not be written (saying why), 2 when
// an image cannot be read or is empty (nothing is written then).
int PinJobImages(Profile& profile, const Context& context, const BurnJob& job, std::FILE* out,
                 std::FILE* err) {
  std::vector<Pin> pins;
  for (const JobImage& image : JobImages(job)) {
    pins.push_back(Pin{"2860", std::string(image.pinKey), image.path, {}});
  }
  // A pinned legacy firmware takes only a pinned table.
  if (context.settings.LinkFlag == 1) {
    pins.push_back(Pin{"BadPixel", kBadPixelPinKey, context.settings.BadpixelFile, {}});
  }
  // Every image is hashed before anything is written, so that a job is
  // pinned whole or not at all.
  for (Pin& pin : pins) {
    const std::optional<FileDigest> hashed = HashFile(pin.path);
    if (!hashed) {
      // The key tells which of the job's names is wrong, a missing one included.
      std::fprintf(err, "burnbench-cli: cannot read %s to pin it as %s\n", pin.path.c_str(),
                   pin.key.c_str());
      return 2;
    }
    // A burn refuses an empty image; pinning one would only hide that.
    if (hashed->size == 0) {
      std::fprintf(err, "burnbench-cli: %s is empty\n", pin.path.c_str());
      return 2;
    }
    pin.hex = ToHex(hashed->digest);
  }
  std::vector<ProfileEntry> entries;
  std::string keys;
  for (const Pin& pin : pins) {
    entries.push_back(ProfileEntry{pin.section, pin.key, pin.hex});
    keys += (keys.empty() ? "" : ", ") + pin.key;
  }
  std::string why;
  if (!profile.WriteStrings(context.configPath, entries, why)) {
    std::fprintf(err, "burnbench-cli: cannot write %s into %s: %s\n",
                 keys.c_str(), context.configPath.c_str(), why.c_str());
    return 1;
  }
  for (const Pin& pin : pins) std::fprintf(out, "%s = %s\n", pin.key.c_str(), pin.hex.c_str());
  return 0;
}

}  // namespace

int RunPin(OfflineCommand& command) {
  if (!command.SettingsRead()) return kExitUnusable;
  BurnJob job;
  if (LoadJob(command.profile, command.context, command.console, kVexa2860, &job) != 0) return kExitUnusable;
  return PinJobImages(command.profile, command.context, job, command.channel.terminal.Out(),
                      command.channel.terminal.Err());
}

}  // namespace bb::cli
