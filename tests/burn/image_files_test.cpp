#include "burn/image_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "support/recording_prompts.h"
#include "support/temp_folder.h"
#include "util/paths.h"

namespace bb {
namespace {

using ::testing::ElementsAre;

std::string Joined(std::string_view folder, std::string_view name) {
  return std::string(folder) + kPathSeparator + std::string(name);
}

TEST(ResolveImagePathTest, ADrivePathIsUsedWholeWhileItFits) {
  const std::string fits = "C:" + std::string(257, 'a');
  std::string destination = "unchanged";
  EXPECT_EQ(ResolveImagePath(fits, destination, 260, "X:\\app"), 0);
  EXPECT_EQ(destination, fits);
  destination = "unchanged";
  EXPECT_EQ(ResolveImagePath(fits + "b", destination, 260, "X:\\app"), -1);
  EXPECT_EQ(destination, "unchanged");
  EXPECT_EQ(ResolveImagePath("C:x", destination, 0, "X:\\app"), -1);
}

TEST(ResolveImagePathTest, AnythingElseIsItsLastComponentInTheExecutableFolder) {
  std::string destination;
  EXPECT_EQ(ResolveImagePath("images\\sub/fw.bin", destination, 260, "X:\\app"), 0);
  EXPECT_EQ(destination, Joined("X:\\app", "fw.bin"));
  EXPECT_EQ(ResolveImagePath("\\\\server\\share\\core.bin", destination, 260, "X:\\app"), 0);
  EXPECT_EQ(destination, Joined("X:\\app", "core.bin"));
  EXPECT_EQ(ResolveImagePath("", destination, 260, "X:\\app"), 0);
  EXPECT_EQ(destination, Joined("X:\\app", ""));
}

TEST(ResolveImagePathTest, TheJoinedPathMustFitWithItsTerminator) {
  const std::string folder = "X:\\tools";  // 8 characters
  std::string destination = "unchanged";
  EXPECT_EQ(ResolveImagePath(std::string(250, 'n'), destination, 260, folder), 0);
  EXPECT_EQ(destination.size(), 259u);
  destination = "unchanged";
  EXPECT_EQ(ResolveImagePath(std::string(251, 'n'), destination, 260, folder), -1);
  EXPECT_EQ(destination, "unchanged");
}

#if !defined(_WIN32)
TEST(ResolveImagePathTest, APosixAbsolutePathIsUsedWhole) {
  std::string destination;
  EXPECT_EQ(ResolveImagePath("/srv/images/fw.bin", destination, 260, "/opt/app"), 0);
  EXPECT_EQ(destination, "/srv/images/fw.bin");
}
#endif

TEST(FileNamePartTest, TakesTheTextAfterTheLastSeparator) {
  EXPECT_EQ(FileNamePart("C:\\a\\b/c.bin"), "c.bin");
  EXPECT_EQ(FileNamePart("c.bin"), "c.bin");
  EXPECT_EQ(FileNamePart("C:\\folder\\"), "");
  EXPECT_EQ(FileNamePart("\\c.bin"), "\\c.bin") << "the first character is never a separator";
  EXPECT_EQ(FileNamePart(""), "");
}

TEST(FileExistsTest, OnlyAReadableFileExists) {
  test::TempFolder folder;
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(folder.File("missing.bin")));
  EXPECT_FALSE(FileExists(folder.Text())) << "a folder is not a file";
  EXPECT_TRUE(FileExists(folder.Write("there.bin", "x")));
  EXPECT_TRUE(FileExists(folder.Write("empty.bin", "")));
}

TEST(CheckJobFilesTest, ReportsTheFirstMissingFileOnly) {
  test::TempFolder folder;
  test::RecordingPrompts prompts;
  BurnJob job;
  job.ParamFile = folder.Write("p.txt", "p");
  job.IspFile = folder.File("missing-core.bin");
  job.FwFile = folder.File("missing-fw.bin");
  EXPECT_EQ(CheckJobFiles(10, job, prompts, "Burnbench"), 1);
  ASSERT_EQ(prompts.Boxes().size(), 1u);
  EXPECT_EQ(prompts.Boxes()[0].text, "Error Isp Files !!!");

  job.IspFile = folder.Write("c.bin", "c");
  EXPECT_EQ(CheckJobFiles(10, job, prompts, "Burnbench"), 1);
  EXPECT_EQ(prompts.Boxes().back().text, "Error Fw Files !!!");

  job.FwFile = folder.Write("f.bin", "f");
  EXPECT_EQ(CheckJobFiles(10, job, prompts, "Burnbench"), 0);
  EXPECT_EQ(CheckJobFiles(8, BurnJob{}, prompts, "Burnbench"), -1);
  EXPECT_EQ(prompts.Boxes().size(), 2u);
}

TEST(ConvertStartupImageTest, RepeatsTheFirst256BytesAtTheEnd) {
  test::TempFolder folder;
  std::vector<std::uint8_t> input(0x20000);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
  folder.Write("CORV604.BIN", input);
  std::ostringstream out;
  ConvertStartupImage(folder.Path(), out);
  const std::vector<std::uint8_t> output = folder.Read("VuVED3038.bin");
  ASSERT_EQ(output.size(), 0x20000u);
  EXPECT_TRUE(std::equal(output.begin(), output.begin() + 0x1FF00, input.begin()));
  EXPECT_TRUE(std::equal(output.begin() + 0x1FF00, output.end(), input.begin()));
  EXPECT_EQ(out.str(), "");
}

TEST(ConvertStartupImageTest, WhatTheInputDoesNotSupplyIsZero) {
  test::TempFolder folder;
  folder.Write("CORV604.BIN", std::vector<std::uint8_t>(300, 0xAA));
  std::ostringstream out;
  ConvertStartupImage(folder.Path(), out);
  const std::vector<std::uint8_t> output = folder.Read("VuVED3038.bin");
  ASSERT_EQ(output.size(), 0x20000u);
  EXPECT_EQ(output[299], 0xAA);
  EXPECT_EQ(output[300], 0x00);
  EXPECT_EQ(output[0x1FEFF], 0x00);
  EXPECT_EQ(output[0x1FF00], 0xAA);
  EXPECT_EQ(output[0x1FFFF], 0xAA);
}

TEST(ConvertStartupImageTest, AMissingInputStillWritesTheWholeOutput) {
  test::TempFolder folder;
  folder.Write("VuVED3038.bin", "old content");
  std::ostringstream out;
  ConvertStartupImage(folder.Path(), out);
  EXPECT_EQ(out.str(), "file open fail\nfile open fail\n");
  EXPECT_EQ(folder.Read("VuVED3038.bin"), std::vector<std::uint8_t>(0x20000, 0));
}

}  // namespace
}  // namespace bb
