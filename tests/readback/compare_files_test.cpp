#include <gtest/gtest.h>

#include "device/status_codes.h"
#include "readback/read_verify.h"
#include "support/temp_folder.h"

namespace bb {
namespace {

class CompareFilesTest : public ::testing::Test {
 protected:
  std::vector<std::uint8_t> Bytes(std::size_t size) const {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return bytes;
  }
  test::TempFolder folder;
  std::uint64_t offset = 99;
};

TEST_F(CompareFilesTest, TheFirstFileMayBeTheStartOfTheSecond) {
  const auto longer = Bytes(5000);
  const std::string second = folder.Write("second", longer);
  const std::string first = folder.Write("first", std::vector<std::uint8_t>(longer.begin(), longer.begin() + 3001));
  EXPECT_EQ(CompareFiles(first, second, offset), kOk);
  EXPECT_EQ(offset, 3001u);
}

TEST_F(CompareFilesTest, AnEmptyFirstFileProvesNothingAndDiffers) {
  EXPECT_EQ(CompareFiles(folder.Write("empty", ""), folder.Write("second", Bytes(10)), offset),
            kFilesDiffer);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(CompareFiles(folder.File("empty"), folder.Write("also-empty", ""), offset), kFilesDiffer);
}

TEST_F(CompareFilesTest, ALongerFirstFileDiffersWithoutComparing) {
  const std::string second = folder.Write("second", Bytes(100));
  EXPECT_EQ(CompareFiles(folder.Write("first", Bytes(101)), second, offset), kFilesDiffer);
  EXPECT_EQ(offset, 0u);
}

TEST_F(CompareFilesTest, TheFirstDifferenceIsReportedByItsOffset) {
  for (const std::size_t at : {0u, 3u, 1023u, 1024u, 1500u, 2999u}) {
    auto changed = Bytes(3000);
    changed[at] ^= 0x40;
    EXPECT_EQ(CompareFiles(folder.Write("first", changed), folder.Write("second", Bytes(3000)), offset),
              kFilesDiffer);
    EXPECT_EQ(offset, at);
  }
}

TEST_F(CompareFilesTest, AFileThatCannotBeOpenedIs2) {
  const std::string there = folder.Write("there", Bytes(10));
  EXPECT_EQ(CompareFiles(folder.File("missing"), there, offset), kFileError);
  EXPECT_EQ(CompareFiles(there, folder.File("missing"), offset), kFileError);
  EXPECT_EQ(CompareFiles(there, folder.Text(), offset), kFileError);
}

}  // namespace
}  // namespace bb
