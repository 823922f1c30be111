#include "config_location.h"

#include "config/read_settings.h"

namespace bb::cli {

std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

std::string ConfigFileFor(const Options& options, const std::string& executablePath) {
  return options.iniPath.empty() ? ConfigPath(FolderOf(executablePath)) : options.iniPath;
}

}  // namespace bb::cli
