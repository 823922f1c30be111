#include "config_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "config/read_settings.h"
#include "util/paths.h"

namespace bb::cli {

namespace {

constexpr const char* kSystemConfigFolder = "/etc/burnbench";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

ConfigSearch CurrentSearch() {
  ConfigSearch search;
  std::error_code error;
  const std::filesystem::path working = std::filesystem::current_path(error);
  if (!error) search.workingFolder = working.string();
  search.xdgConfigHome = Environment("XDG_CONFIG_HOME");
  search.home = Environment("HOME");
  return search;
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(FsPath(path), error));
}

}  // namespace

std::string UserConfigFile(const ConfigSearch& search) {
  // A relative $XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
  if (!search.xdgConfigHome.empty() && search.xdgConfigHome.front() == '/') {
    return search.xdgConfigHome + "/burnbench/Isp.ini";
  }
  return search.home.empty() ? std::string() : search.home + "/.config/burnbench/Isp.ini";
}

std::vector<std::string> InstalledConfigCandidates(const ConfigSearch& search) {
  std::vector<std::string> candidates;
  if (!search.workingFolder.empty()) candidates.push_back(search.workingFolder + "/Isp.ini");
  const std::string user = UserConfigFile(search);
  if (!user.empty()) candidates.push_back(user);
  candidates.push_back(std::string(kSystemConfigFolder) + "/Isp.ini");
  return candidates;
}

bool IsInstalledProgram(const std::string& executablePath) {
#if defined(_WIN32)
  (void)executablePath;
  return false;
#else
  const std::filesystem::path folder = FsPath(executablePath).parent_path();
  if (folder.filename() != "bin") return false;
  std::error_code error;
  return std::filesystem::is_directory(folder.parent_path() / "share" / "burnbench", error);
#endif
}

std::string ConfigFileFor(const Options& options, const std::string& executablePath) {
  if (!options.iniPath.empty()) return options.iniPath;
  if (!IsInstalledProgram(executablePath)) return ConfigPath(FolderOf(executablePath));
  const ConfigSearch search = CurrentSearch();
  const std::vector<std::string> candidates = InstalledConfigCandidates(search);
  for (const std::string& candidate : candidates) {
    if (Exists(candidate)) return candidate;
  }
  const std::string user = UserConfigFile(search);
  return user.empty() ? candidates.back() : user;
}

}  // namespace bb::cli
