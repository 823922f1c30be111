#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "common/burn_job.h"

namespace bb {

// One image file that a run sends, with the configuration key that may pin
// it to a SHA-256 and that key's text (nullopt: no key). Everything that
// checks, hashes or reports a job's images takes them from here.
struct JobImage {
  std::string_view pinKey;
  const std::string& path;
  const std::optional<std::string>& pin;
  // The job's key that names the file (ParamFile, IspFile, FwFile); empty for
  // an image from outside the job.
  std::string_view fileKey = {};
};

// The job's parameter file, ISP core and firmware, in the order a burn sends them.
inline std::array<JobImage, 3> JobImages(const BurnJob& job) {
  return {{{"ParamSha256", job.ParamFile, job.ParamSha256, "ParamFile"},
           {"IspSha256", job.IspFile, job.IspSha256, "IspFile"},
           {"FwSha256", job.FwFile, job.FwSha256, "FwFile"}}};
}

}  // namespace bb
