#include "config_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace bb::cli {
namespace {

TEST(ConfigLocationTest, AnInstalledProgramLooksInTheWorkingFolderThenTheUsersThenTheSystems) {
  struct Case {
    ConfigSearch search;
    std::vector<std::string> candidates;
  };
  const std::vector<Case> cases = {
      {{"/w", "/x", "/h"}, {"/w/Isp.ini", "/x/burnbench/Isp.ini", "/etc/burnbench/Isp.ini"}},
      {{"/w", "", "/h"}, {"/w/Isp.ini", "/h/.config/burnbench/Isp.ini", "/etc/burnbench/Isp.ini"}},
      // A relative XDG_CONFIG_HOME is not one.
      {{"/w", "x", "/h"}, {"/w/Isp.ini", "/h/.config/burnbench/Isp.ini", "/etc/burnbench/Isp.ini"}},
      {{"/w", "", ""}, {"/w/Isp.ini", "/etc/burnbench/Isp.ini"}},
      {{"", "", ""}, {"/etc/burnbench/Isp.ini"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InstalledConfigCandidates(c.search), c.candidates) << c.search.xdgConfigHome;
  }
}

// Installed is PREFIX/bin beside PREFIX/share/burnbench; a build tree, or a
// bin folder without the installation's data, is not.
TEST(ConfigLocationTest, InstalledMeansAPrefixThatHoldsTheProgramsData) {
  const test::TempFolder root;
  std::filesystem::create_directories(root.Path() / "usr" / "bin");
  std::filesystem::create_directories(root.Path() / "usr" / "share" / "burnbench");
  std::filesystem::create_directories(root.Path() / "opt" / "bin");
  std::filesystem::create_directories(root.Path() / "opt" / "share");
  root.Write("opt/share/burnbench", "a file, not the data folder");
  std::filesystem::create_directories(root.Path() / "build" / "hosts" / "cli");
  std::filesystem::create_directories(root.Path() / "build" / "hosts" / "share" / "burnbench");
#if defined(_WIN32)
  const bool installed = false;  // the Windows programs keep Isp.ini beside themselves
#else
  const bool installed = true;
#endif
  EXPECT_EQ(IsInstalledProgram(root.File("usr/bin/burnbench-cli")), installed);
  EXPECT_FALSE(IsInstalledProgram(root.File("opt/bin/burnbench-cli")));
  EXPECT_FALSE(IsInstalledProgram(root.File("build/hosts/cli/burnbench-cli")));
  EXPECT_FALSE(IsInstalledProgram(root.File("burnbench-cli")));
}

}  // namespace
}  // namespace bb::cli
