#include "platform/posix/posix_process_info.h"

#include <filesystem>
#include <system_error>

#include "common/build_version.h"

namespace bb {

std::string PosixProcessInfo::ExecutablePath() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::optional<ProductVersion> PosixProcessInfo::ReadProductVersionInfo() {
  return kBuildProductVersion;
}

}  // namespace bb
