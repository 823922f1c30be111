#include "common/file_selection.h"

#include <gtest/gtest.h>

#include <string>

namespace bb {
namespace {

TEST(FileSelectionTest, EachRowBrowsesWithItsOwnFilter) {
  const OpenFileRequest parameter = BrowseRequest(JobFileRow::kParameter, "");
  EXPECT_EQ(parameter.filterDescription, "Param File(*.txt)");
  EXPECT_EQ(parameter.filterPattern, "*.txt");
  const OpenFileRequest core = BrowseRequest(JobFileRow::kCore, "");
  EXPECT_EQ(core.filterDescription, "IspCore File(*.bin)");
  EXPECT_EQ(core.filterPattern, "*.bin");
  const OpenFileRequest firmware = BrowseRequest(JobFileRow::kFirmware, "");
  EXPECT_EQ(firmware.filterDescription, "Fw File(*.bin)");
  EXPECT_EQ(firmware.filterPattern, "*.bin");
  for (const OpenFileRequest* request : {&parameter, &core, &firmware}) {
    EXPECT_EQ(request->title, "Select File");
  }
}

TEST(FileSelectionTest, TheBrowserOpensInTheStoredPathsFolderKeepingTheSeparator) {
  const OpenFileRequest request = BrowseRequest(JobFileRow::kFirmware, "C:\\jobs\\a\\fw.brn");
  EXPECT_EQ(request.initialPath, "C:\\jobs\\a\\fw.brn");
  EXPECT_EQ(request.initialFolder, "C:\\jobs\\a\\");
  EXPECT_EQ(BrowseRequest(JobFileRow::kCore, "core.bin").initialFolder, "core.bin");
  EXPECT_EQ(BrowseRequest(JobFileRow::kCore, "").initialFolder, "");
}

TEST(FileSelectionTest, PathsUpTo255BytesFit) {
  EXPECT_TRUE(FitsJobFileLimit(std::string(255, 'a')));
  EXPECT_FALSE(FitsJobFileLimit(std::string(256, 'a')));
  // The limit counts the bytes the job stores: 86 characters here, 258 bytes.
  std::string chinese;
  for (int i = 0; i < 86; ++i) chinese += "文";
  EXPECT_FALSE(FitsJobFileLimit(chinese));
}

}  // namespace
}  // namespace bb
