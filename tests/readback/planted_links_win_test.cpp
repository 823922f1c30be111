// The Windows file back end against links that the test run planted from the
// Linux side before it started the tests under wine. Wine shows a Linux link
// to a folder as a directory reparse point, as Windows shows a junction; a
// link to a file it shows as the file itself, which the path looked at
// cannot tell: only where the opened file lies can.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/native_file.h"
#include "support/test_host.h"
#include "util/paths.h"

namespace bb {
namespace {

#if defined(BURNBENCH_PLANTED_LINKS)
class PlantedLinksTest : public ::testing::Test, protected test::TestHost {
 protected:
  const std::string root = BURNBENCH_PLANTED_LINKS;
  const std::string out = root + "\\out";
  const std::filesystem::path outside = FsPath(root + "\\outside");
};

TEST_F(PlantedLinksTest, ALinkedFolderIsSeenAndNeverWrittenThrough) {
  ASSERT_EQ(InspectPath(out + "\\A"), PathKind::kFolder);
  EXPECT_EQ(InspectPath(out + "\\A\\dirlink"), PathKind::kLink);
  EXPECT_EQ(InspectPath(out + "\\B"), PathKind::kLink);
  EXPECT_FALSE(NativeFile::CreateInside(out, "A\\dirlink\\x.bin").has_value());
  EXPECT_FALSE(NativeFile::CreateInside(out, "A/dirlink/x.bin").has_value());
  EXPECT_FALSE(NativeFile::CreateInside(out, "B\\x.bin").has_value());

  folder.Write("image.brn", sim::EncodeBrnFile(SampleContent(), 0x100));
  EXPECT_FALSE(bench.resourceExport.ExportToFolder(folder.File("image.brn"), out));
  EXPECT_EQ(console.log.back(), "Cannot create sub directory \".\\B\" !!!");
  EXPECT_TRUE(std::filesystem::is_empty(outside));
}

TEST_F(PlantedLinksTest, AFileThatLiesOutsideTheFolderOnceOpenedIsNeverWritten) {
  const std::filesystem::path victim = FsPath(root + "\\far\\victim");
  ASSERT_EQ(InspectPath(out + "\\A\\filelink"), PathKind::kRegularFile) << "wine shows the file";
  EXPECT_FALSE(NativeFile::CreateInside(out, "A\\filelink").has_value());
  std::ifstream kept(victim, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep\n");
}
#endif

}  // namespace
}  // namespace bb
