#include "app/process_values.h"

#include <gtest/gtest.h>

#include "common/build_version.h"

namespace bb {
namespace {

class FakeProcess final : public ProcessInfo {
 public:
  std::string path;
  std::optional<ProductVersion> version;
  std::string ExecutablePath() override { return path; }
  std::optional<ProductVersion> ReadProductVersionInfo() override { return version; }
};

TEST(ProcessValuesTest, TheExecutableFolderIsCutAtTheLastSeparator) {
  FakeProcess process;
  process.path = "X:\\tools\\burn\\app.exe";
  EXPECT_EQ(ComputeExecutableFolder(process), "X:\\tools\\burn");
  process.path = "/opt/tools/burn/app";
  EXPECT_EQ(ComputeExecutableFolder(process), "/opt/tools/burn");
  process.path = "C:\\mixed/slashes\\app.exe";
  EXPECT_EQ(ComputeExecutableFolder(process), "C:\\mixed/slashes");
  process.path = "";
  EXPECT_EQ(ComputeExecutableFolder(process), "");
}

TEST(ProcessValuesTest, AnUnreadableVersionIsZero) {
  FakeProcess process;
  EXPECT_EQ(ReadProductVersion(process), ProductVersion{});
  EXPECT_EQ(MainCaption(ReadProductVersion(process)), "ISP 2860 [0.0.0]");
}

TEST(ProcessValuesTest, TheCaptionShowsTheRevisionOnlyWhenItIsNotZero) {
  const ProductVersion plain{(5u << 16) | 5u, 2u << 16};
  EXPECT_EQ(plain.Major(), 5u);
  EXPECT_EQ(plain.Minor(), 5u);
  EXPECT_EQ(plain.Build(), 2u);
  EXPECT_EQ(plain.Revision(), 0u);
  EXPECT_EQ(MainCaption(plain), "ISP 2860 [5.5.2]");
  EXPECT_EQ(MainCaption(ProductVersion{(5u << 16) | 5u, (2u << 16) | 7u}), "ISP 2860 [5.5.2.7]");
}

TEST(ProcessValuesTest, TheBuildCarriesTheProjectVersion) {
  EXPECT_EQ(MainCaption(kBuildProductVersion), "ISP 2860 [5.5.2]");
  EXPECT_EQ(kBuildProductVersion.Revision(), 0u);
}

}  // namespace
}  // namespace bb
