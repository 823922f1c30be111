#include "pin_command.h"

#include <array>
#include <optional>
#include <string>

#include "common/job_images.h"
#include "util/sha256.h"

namespace bb::cli {

int PinJobImages(Profile& profile, const Context& context, const BurnJob& job, std::FILE* out,
                 std::FILE* err) {
  const std::array<JobImage, 3> images = JobImages(job);
  // Every image is hashed before the first key is written, so that a job is
  // pinned whole or not at all.
  std::array<std::string, 3> hexes;
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::optional<FileDigest> hashed = HashFile(images[i].path);
    if (!hashed) {
      // The key tells which of the job's names is wrong, a missing one included.
      std::fprintf(err, "burnbench-cli: cannot read %s to pin it as %s\n", images[i].path.c_str(),
                   std::string(images[i].pinKey).c_str());
      return 2;
    }
    // A burn refuses an empty image; pinning one would only hide that.
    if (hashed->size == 0) {
      std::fprintf(err, "burnbench-cli: %s is empty\n", images[i].path.c_str());
      return 2;
    }
    hexes[i] = ToHex(hashed->digest);
  }
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::string key(images[i].pinKey);
    if (!profile.WriteString(context.configPath, "2860", key, hexes[i])) {
      std::fprintf(err, "burnbench-cli: cannot write %s into %s\n", key.c_str(),
                   context.configPath.c_str());
      return 1;
    }
    std::fprintf(out, "%s = %s\n", key.c_str(), hexes[i].c_str());
  }
  return 0;
}

}  // namespace bb::cli
