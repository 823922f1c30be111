#include "scratch_folder.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "util/format.h"
#include "util/paths.h"

namespace bb::cli {

std::optional<ScratchFolder> ScratchFolder::Make() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path temporary = fs::temp_directory_path(error);
  if (error) return std::nullopt;
  std::random_device random;
  // A name someone else made first, a link included, is never taken over:
  // only a folder this call created is ours.
  for (int attempt = 0; attempt < 16; ++attempt) {
    const fs::path path = temporary / Format("burnbench-%08x%08x", random(), random());
    if (!fs::create_directory(path, error)) continue;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
    const std::u8string utf8 = path.u8string();
    return ScratchFolder(std::string(utf8.begin(), utf8.end()));
  }
  return std::nullopt;
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::error_code error;
  std::filesystem::remove_all(FsPath(path_), error);
}

}  // namespace bb::cli
