#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

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
  std::optional<NativeFile> made = NativeFile::CreateInside(*a, "x.bin");
  ASSERT_TRUE(made.has_value());
  EXPECT_TRUE(made->Close());
  EXPECT_TRUE(std::filesystem::is_regular_file(out.Path() / "moved" / "x.bin"));
  EXPECT_TRUE(std::filesystem::is_empty(outside.Path()));
  EXPECT_FALSE(top->OpenInside("A").has_value());

  // Removal goes the same way: the file of that name at the link's end stays.
  outside.Write("x.bin", "keep me");
  EXPECT_TRUE(made->Remove());
  EXPECT_FALSE(std::filesystem::exists(out.Path() / "moved" / "x.bin"));
  EXPECT_TRUE(std::filesystem::exists(outside.Path() / "x.bin"));
  EXPECT_FALSE(made->Remove());

  // Another file renamed into its place is not the created file's to remove.
  made = NativeFile::CreateInside(*a, "y.bin");
  ASSERT_TRUE(made.has_value());
  std::filesystem::rename(out.Path() / "moved" / "y.bin", out.Path() / "moved" / "was-y.bin");
  std::ofstream(out.Path() / "moved" / "y.bin") << "someone else's";
  EXPECT_FALSE(made->Remove());
  EXPECT_TRUE(std::filesystem::exists(out.Path() / "moved" / "y.bin"));
}
#endif

// A file about to be written that is a file being read (by any of its names)
// is refused before it is opened for writing, and keeps its bytes.
TEST(NativeFileTest, AFileBeingReadIsNeverCreatedOver) {
  test::TempFolder out;
  const std::string input = out.Write("input.bin", "read me");
  std::optional<NativeFile> reading = NativeFile::OpenForReading(input);
  ASSERT_TRUE(reading.has_value());
  const std::optional<FileIdentity> identity = reading->Identity();
  ASSERT_TRUE(identity.has_value());
  const std::span<const FileIdentity> inputs(&*identity, 1);
  std::vector<std::string> names = {"input.bin"};
  std::error_code error;
  std::filesystem::create_hard_link(input, out.Path() / "other-name.bin", error);
  if (!error) names.push_back("other-name.bin");
  for (const std::string& name : names) {
    EXPECT_FALSE(NativeFile::CreateInside(out.Text(), name, inputs).has_value()) << name;
    EXPECT_FALSE(NativeFile::Create(out.File(name), inputs).has_value()) << name;
  }
  EXPECT_EQ(out.Read("input.bin"), (std::vector<std::uint8_t>{'r', 'e', 'a', 'd', ' ', 'm', 'e'}));
  std::optional<NativeFile> other = NativeFile::CreateInside(out.Text(), "new.bin", inputs);
  ASSERT_TRUE(other.has_value());
  EXPECT_NE(other->Identity(), identity);
  // Written to, then taken away again through what was created.
  EXPECT_TRUE(other->Write(std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_TRUE(other->Remove());
  EXPECT_FALSE(std::filesystem::exists(out.Path() / "new.bin"));
}

}  // namespace
}  // namespace bb
