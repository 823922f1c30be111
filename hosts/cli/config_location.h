#pragma once

#include <string>
#include <vector>

#include "cli_options.h"

namespace bb::cli {

// What the search for an installed program's Isp.ini depends on; an empty
// value stands for one that is not known.
struct ConfigSearch {
  std::string workingFolder;
  std::string xdgConfigHome;  // $XDG_CONFIG_HOME
  std::string home;           // $HOME
};

// The user's Isp.ini: in $XDG_CONFIG_HOME/burnbench, by default
// ~/.config/burnbench; empty when neither is known.
std::string UserConfigFile(const ConfigSearch& search);

// Where an installed program looks for Isp.ini, first to last: the working
// folder, the user's, the system's (/etc/burnbench).
std::vector<std::string> InstalledConfigCandidates(const ConfigSearch& search);

// Installed: the program sits in PREFIX/bin beside the PREFIX/share/burnbench
// that the package (or `cmake --install`) lays down with it, as in /usr or
// /usr/local. Such a folder is no place for a user's settings; a build tree or
// a folder carried around with its Isp.ini keeps the file beside the program.
// Never on Windows, where the programs read Isp.ini beside themselves.
bool IsInstalledProgram(const std::string& executablePath);

// The configuration file a command reads: --ini; else Isp.ini beside the
// program; for an installed program the first of its candidates that exists,
// or, with none, the user's (the place to create one), else the system's.
// Relative image paths resolve against its folder.
std::string ConfigFileFor(const Options& options, const std::string& executablePath);

}  // namespace bb::cli
