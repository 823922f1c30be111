#include "app/verify_folder.h"

#include "util/paths.h"

namespace bb {

namespace {

// A location as part of a folder name: Windows location paths carry
// characters that do not belong in one.
std::string FolderNameOf(const std::string& location) {
  std::string name = location;
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.';
    if (!plain) c = '_';
  }
  return name;
}

}  // namespace

std::string VerifyFolderFor(const std::string& firmware, const std::string& location) {
  if (location.empty() || firmware.empty()) return {};
  return FolderOf(firmware) + kPathSeparator + "verify-" + FolderNameOf(location);
}

}  // namespace bb
