#include "util/regular_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "burn/image_files.h"
#include "platform/std/ini_profile.h"
#include "support/temp_folder.h"
#include "util/binary_file.h"
#include "util/sha256.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace bb {
namespace {

// Every reader of image files and settings goes through the same refusal; a
// FIFO that got through would leave the test waiting for a writer.
TEST(RegularFileTest, OnlyRegularFilesOpenAndNothingElseIsWaitedFor) {
  test::TempFolder folder;
  const std::string regular = folder.Write("Isp.ini", "[DevNo]\nChipID=10\n");
  std::ifstream file;
  EXPECT_TRUE(OpenRegularFile(regular, file));

  std::vector<std::string> refused = {folder.Text(), folder.File("missing")};
#if defined(_WIN32)
  refused.push_back("NUL");
  refused.push_back("CON");
#else
  const std::string fifo = folder.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  refused.push_back(fifo);
  refused.push_back("/dev/null");
  std::filesystem::create_symlink(regular, folder.Path() / "link.ini");
  std::ifstream linked;
  EXPECT_TRUE(OpenRegularFile(folder.File("link.ini"), linked)) << "a link to a file is that file";
#endif
  IniProfile profile;
  for (const std::string& path : refused) {
    std::ifstream special;
    EXPECT_FALSE(OpenRegularFile(path, special)) << path;
    EXPECT_FALSE(OpenForReading(path, special)) << path;
    EXPECT_FALSE(HashFile(path)) << path;
    EXPECT_FALSE(FileExists(path)) << path;
    EXPECT_EQ(profile.ReadInt(path, "DevNo", "ChipID", -1), -1) << path;
  }
}

}  // namespace
}  // namespace bb
