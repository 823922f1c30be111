#include "burn/image_check.h"

#include <fstream>
#include <optional>
#include <string>

#include "util/binary_file.h"
#include "util/format.h"
#include "util/sha256.h"

namespace bb {

namespace {

// False (logged) for a pin that is not 64 hex digits; `pinned` stays empty
// where nothing pins the file.
bool ReadPin(const JobImage& image, std::optional<Sha256Digest>& pinned, Console& console) {
  pinned.reset();
  if (!image.pin) return true;
  pinned = ParseSha256(*image.pin);
  if (pinned) return true;
  console.AddLogLine(Format("%s is not 64 hex digits !!!", std::string(image.pinKey).c_str()));
  return false;
}

// An empty image would be burned as nothing at all, and reported as burned.
bool LogEmpty(const JobImage& image, Console& console) {
  console.AddLogLine(Format("File %s is empty !!!", image.path.c_str()));
  return false;
}

bool Matches(const JobImage& image, const Sha256Digest& actual, const Sha256Digest& pinned,
             Console& console) {
  if (actual == pinned) return true;
  console.AddLogLine(Format("SHA-256 mismatch: %s is %s, %s is %s !!!", image.path.c_str(),
                            ToHex(actual).c_str(), std::string(image.pinKey).c_str(),
                            ToHex(pinned).c_str()));
  return false;
}

}  // namespace

bool CheckImageFile(const JobImage& image, Console& console, std::optional<FileDigest>& hashed) {
  hashed.reset();
  std::optional<Sha256Digest> pinned;
  if (!ReadPin(image, pinned, console)) return false;
  if (!pinned) {
    std::ifstream file;
    const std::optional<std::uint64_t> size = OpenForReading(image.path, file);
    return !size || *size != 0 || LogEmpty(image, console);
  }
  hashed = HashFile(image.path);
  if (!hashed) {
    console.AddLogLine(Format("Cannot read %s to check its SHA-256 !!!", image.path.c_str()));
    return false;
  }
  if (hashed->size == 0) return LogEmpty(image, console);
  return Matches(image, hashed->digest, *pinned, console);
}

bool CheckImageDigest(const JobImage& image, const FileDigest& read, Console& console) {
  std::optional<Sha256Digest> pinned;
  if (!ReadPin(image, pinned, console)) return false;
  if (read.size == 0) return LogEmpty(image, console);
  return !pinned || Matches(image, read.digest, *pinned, console);
}

}  // namespace bb
