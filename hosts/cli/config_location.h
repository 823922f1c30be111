#pragma once

#include <string>

#include "cli_options.h"

namespace bb::cli {

// The folder part of a path: everything before its last "\" or "/", or ".".
std::string FolderOf(const std::string& path);

// The configuration file a command reads: --ini, or Isp.ini beside the program.
// Relative image paths resolve against its folder.
std::string ConfigFileFor(const Options& options, const std::string& executablePath);

}  // namespace bb::cli
