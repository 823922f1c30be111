#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/native_file.h"
#include "support/temp_folder.h"

namespace bb {
namespace {

bool Created(const NativeFolder& folder, const std::string& relative) {
  std::optional<NativeFile> file = NativeFile::CreateInside(folder, relative);
  return file.has_value() && file->Close();
}

TEST(NativeFolderTest, OpensOnlyFoldersAndCreatesInsideThem) {
  test::TempFolder out;
  std::filesystem::create_directories(out.Path() / "A" / "dir");
  out.Write("file", "x");
  EXPECT_FALSE(NativeFolder::Open(out.File("absent")).has_value());
  EXPECT_FALSE(NativeFolder::Open(out.File("file")).has_value());
  const std::optional<NativeFolder> top = NativeFolder::Open(out.Text());
  ASSERT_TRUE(top.has_value());
  for (const char* refused : {"", "/", "file", "absent", "A/absent"}) {
    EXPECT_FALSE(top->OpenInside(refused).has_value()) << refused;
  }
  const std::optional<NativeFolder> a = top->OpenInside("A");
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(std::filesystem::path(a->Path()), out.Path() / "A");
  EXPECT_TRUE(Created(*a, "x.bin"));
  EXPECT_TRUE(Created(*a, "dir/y.bin"));
  EXPECT_FALSE(Created(*a, "dir/"));
  EXPECT_FALSE(Created(*a, "absent/z.bin"));
  EXPECT_TRUE(std::filesystem::is_regular_file(out.Path() / "A" / "x.bin"));
  EXPECT_TRUE(std::filesystem::is_regular_file(out.Path() / "A" / "dir" / "y.bin"));
}

#if !defined(_WIN32)
TEST(NativeFolderTest, AHeldFolderStaysTheFolderWrittenIntoAndLinksAreRefused) {
  test::TempFolder out;
  test::TempFolder outside;
  std::filesystem::create_directories(out.Path() / "A");
  std::error_code error;
  std::filesystem::create_directory_symlink(outside.Path(), out.Path() / "L", error);
  if (error) GTEST_SKIP() << "no symbolic links here";
  const std::optional<NativeFolder> top = NativeFolder::Open(out.Text());
  ASSERT_TRUE(top.has_value());
  EXPECT_FALSE(top->OpenInside("L").has_value());
  EXPECT_FALSE(Created(*top, "L/x.bin"));

  // A link planted where the held folder was, once it has been moved away.
  const std::optional<NativeFolder> a = top->OpenInside("A");
  ASSERT_TRUE(a.has_value());
  std::filesystem::rename(out.Path() / "A", out.Path() / "moved");
  std::filesystem::create_directory_symlink(outside.Path(), out.Path() / "A");
  EXPECT_TRUE(Created(*a, "x.bin"));
  EXPECT_TRUE(std::filesystem::is_regular_file(out.Path() / "moved" / "x.bin"));
  EXPECT_TRUE(std::filesystem::is_empty(outside.Path()));
  EXPECT_FALSE(top->OpenInside("A").has_value());

  // Removal goes the same way: the file of that name at the link's end stays.
  outside.Write("x.bin", "keep me");
  EXPECT_TRUE(a->RemoveFile("x.bin"));
  EXPECT_FALSE(std::filesystem::exists(out.Path() / "moved" / "x.bin"));
  EXPECT_TRUE(std::filesystem::exists(outside.Path() / "x.bin"));
  EXPECT_FALSE(a->RemoveFile("x.bin"));
  EXPECT_FALSE(top->RemoveFile("L/x.bin")) << "not through a linked folder";
  EXPECT_TRUE(std::filesystem::exists(outside.Path() / "x.bin"));
}
#endif

}  // namespace
}  // namespace bb
