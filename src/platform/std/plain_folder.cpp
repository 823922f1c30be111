#include <filesystem>
#include <system_error>

#include "platform/native_file.h"
#include "util/paths.h"

namespace bb {

bool EnsurePlainFolder(const std::string& path) {
  const PathKind kind = InspectPath(path);
  if (kind == PathKind::kFolder) return true;
  if (kind != PathKind::kAbsent) return false;
  std::error_code error;
  return std::filesystem::create_directory(FsPath(path), error) && InspectPath(path) == PathKind::kFolder;
}

}  // namespace bb
