#pragma once

#include <string>

#include "config/settings.h"
#include "platform/profile.h"

namespace bb {

// The configuration file in a folder: "<folder>\Isp.ini" (with "/" on POSIX).
std::string ConfigPath(const std::string& folder);

// Fills the settings from the file. Returns 0, or 2 when the file cannot be
// opened for reading (the settings then stay as they were).
int ReadSettings(Profile& profile, const std::string& path, Settings& settings);

}  // namespace bb
