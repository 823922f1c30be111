// The images a station burns: read and hashed once for every run, read again
// only when a file changes, and refused while they do not match their pins.
#include "station/station_images.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/std/ini_profile.h"
#include "support/temp_folder.h"
#include "util/sha256.h"

namespace bb {
namespace {

class StationImagesTest : public ::testing::Test {
 protected:
  StationImagesTest() {
    for (const char* name : {"param.txt", "core.bin", "fw.brn"}) {
      std::ofstream(folder.File(name), std::ios::binary) << "the bytes of " << name << "\n";
    }
    context.configPath = folder.File("Isp.ini");
    context.executableFolder = folder.Path().string();
  }

  std::string Pin(const char* name) { return ToHex(HashFile(folder.File(name))->digest); }

  // The job, with the pins of the files as they are now unless `unpinned`
  // names one to leave out.
  void WriteJob(const std::string& unpinned = "") {
    std::string ini = "[2860]\nParamFile=param.txt\nIspFile=core.bin\nFwFile=fw.brn\nIspTimeoutSec=30\n";
    for (const auto& [key, file] : {std::pair{"ParamSha256", "param.txt"}, std::pair{"IspSha256", "core.bin"},
                                    std::pair{"FwSha256", "fw.brn"}}) {
      if (unpinned != key) ini += std::string(key) + "=" + Pin(file) + "\n";
    }
    std::ofstream(context.configPath, std::ios::binary | std::ios::trunc) << ini;
  }

  test::TempFolder folder;
  IniProfile profile;
  Context context;
};

TEST_F(StationImagesTest, ReadOnceSharedUntilAFileChangesAndRefusedWhileItMissesItsPin) {
  WriteJob();
  StationImages images(profile, context, false);
  ASSERT_EQ(images.Refresh(), "");
  const std::shared_ptr<const SharedImages> first = images.Images();
  ASSERT_TRUE(first);
  ASSERT_EQ(first->size(), 3u);
  EXPECT_EQ(ToHex(first->at(2).digest.digest), Pin("fw.brn"));
  EXPECT_EQ(images.PinPrefix(), Pin("fw.brn").substr(0, 12));
  // Nothing changed: the same bytes, not a second reading.
  EXPECT_EQ(images.Refresh(), "");
  EXPECT_EQ(images.Images(), first);

  // A firmware replaced under the running station no longer matches its pin.
  std::ofstream(folder.File("fw.brn"), std::ios::binary | std::ios::app) << "one more line\n";
  const std::string refused = images.Refresh();
  EXPECT_NE(refused.find("SHA-256 mismatch"), std::string::npos) << refused;
  EXPECT_FALSE(images.Images());
  EXPECT_FALSE(images.PinMissing());

  // Pinned again, the next run sends the new file.
  WriteJob();
  EXPECT_EQ(images.Refresh(), "");
  ASSERT_TRUE(images.Images());
  EXPECT_EQ(ToHex(images.Images()->at(2).digest.digest), Pin("fw.brn"));
  EXPECT_NE(images.Images(), first);

  // A file without its pin stops the station, unless it is allowed.
  WriteJob("IspSha256");
  EXPECT_EQ(images.Refresh(), "IspSha256 is not set: a station burns only pinned images");
  EXPECT_TRUE(images.PinMissing());
  StationImages unpinned(profile, context, true);
  EXPECT_EQ(unpinned.Refresh(), "");
  EXPECT_FALSE(unpinned.PinMissing());
}

}  // namespace
}  // namespace bb
