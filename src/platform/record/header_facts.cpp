#include "platform/record/header_facts.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

#include "util/format.h"
#include "util/paths.h"
#include "util/sha256.h"

namespace bb::record {

std::string PlatformName() {
#if defined(_WIN32)
  const char* system = "Windows";
#elif defined(__APPLE__)
  const char* system = "macOS";
#elif defined(__linux__)
  const char* system = "Linux";
#else
  const char* system = "unknown system";
#endif
#if defined(__x86_64__) || defined(_M_X64)
  const char* machine = "x86_64";
#elif defined(__i386__) || defined(_M_IX86)
  const char* machine = "i686";
#elif defined(__aarch64__) || defined(_M_ARM64)
  const char* machine = "aarch64";
#else
  const char* machine = "unknown machine";
#endif
  return Format("%s %s", system, machine);
}

std::string UtcNow() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
#if defined(_WIN32)
  if (gmtime_s(&utc, &now) != 0) return {};
#else
  if (gmtime_r(&now, &utc) == nullptr) return {};
#endif
  return Format("%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                utc.tm_hour, utc.tm_min, utc.tm_sec);
}

ImageFile HashImage(std::string role, const std::string& path) {
  ImageFile image;
  image.role = std::move(role);
  image.path = path;
  if (const std::optional<FileDigest> digest = HashFile(path)) {
    image.present = true;
    image.size = digest->size;
    image.digest = digest->digest;
  }
  return image;
}

std::string OverwrittenInput(const std::string& path, const RecordingHeader& header,
                             const std::string& configPath) {
  const auto same = [&path](const std::string& other) {
    std::error_code error;
    return !other.empty() && std::filesystem::equivalent(FsPath(path), FsPath(other), error);
  };
  for (const ImageFile& image : header.images) {
    if (same(image.path)) return image.role;
  }
  return same(configPath) ? "the configuration file" : std::string();
}

}  // namespace bb::record
