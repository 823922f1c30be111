#include "burn/job_config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "config/read_settings.h"
#include "support/native_profile.h"
#include "support/recording_console.h"
#include "support/temp_folder.h"
#include "util/paths.h"

namespace bb {
namespace {

using ::testing::ElementsAre;

class JobConfigTest : public ::testing::Test {
 protected:
  JobConfigTest() {
    context.executableFolder = folder.Text();
    context.configPath = folder.File("Isp.ini");
  }
  std::string InFolder(std::string_view name) const {
    return folder.Text() + kPathSeparator + std::string(name);
  }

  test::TempFolder folder;
  test::NativeProfile profile;
  test::RecordingConsole console;
  Context context;
  BurnJob job;
};

TEST_F(JobConfigTest, AFileWithOnlyTheChipIdGivesTheDefaults) {
  folder.Write("Isp.ini", "[DevNo]\nChipID=10\n");
  job.ReadPath = "chosen before";
  ASSERT_EQ(LoadJob(profile, context, console, 10, &job), 0);
  EXPECT_EQ(job.ParamAddress, 0u);
  EXPECT_EQ(job.CoreAddress, 0u);
  EXPECT_EQ(job.DramAddress, 0u);
  EXPECT_EQ(job.RomAddress, 0u);
  EXPECT_EQ(job.SectorAddress, 0u);
  EXPECT_EQ(job.IspTimeoutSec, 30);
  EXPECT_EQ(job.FwFileID, 256u);
  EXPECT_EQ(job.ReadPath, "");
  // An empty path value becomes the folder and a separator, which no check passes.
  EXPECT_EQ(job.ParamFile, InFolder(""));
  EXPECT_EQ(context.transfer.BlockUnit, 256u);
  EXPECT_EQ(context.transfer.BulkChunk, 0x10000u);
  EXPECT_TRUE(console.log.empty());
}

TEST_F(JobConfigTest, ReadsEveryKeyOfTheSection) {
  folder.Write("Isp.ini",
               "[2860]\nParamAddress2860=0x1000\nCoreAddress2860=4096\nDramAddress2860=0x300000\n"
               "RomAddress2860=0x40000\nSectorAddress2860=7\nParamFile=p.txt\n"
               "IspFile=sub\\c.bin\nFwFile=C:\\fw\\f.bin\nIspTimeoutSec=0\nFwFileID=65792\n");
  ASSERT_EQ(LoadJob(profile, context, console, 10, &job), 0);
  EXPECT_EQ(job.ParamAddress, 0x1000u);
  EXPECT_EQ(job.CoreAddress, 4096u);
  EXPECT_EQ(job.DramAddress, 0x300000u);
  EXPECT_EQ(job.RomAddress, 0x40000u);
  EXPECT_EQ(job.SectorAddress, 7u);
  EXPECT_EQ(job.ParamFile, InFolder("p.txt"));
  EXPECT_EQ(job.IspFile, InFolder("c.bin"));
  EXPECT_EQ(job.FwFile, "C:\\fw\\f.bin");
  EXPECT_EQ(job.IspTimeoutSec, 0);
  EXPECT_EQ(job.FwFileID, 256u) << "only the low 16 bits are kept";
}

// Read in 32 bits, -1 and 4294967295 were one value and 4294967296 was 0;
// only 0 to 720 polls may run, and a value outside says so.
TEST_F(JobConfigTest, IspTimeoutSecIsReadIn64BitsAndOnlyZeroTo720MayRun) {
  constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
  const std::vector<std::tuple<std::string, std::int64_t, bool>> cases = {
      {"IspTimeoutSec=0", 0, true},
      {"IspTimeoutSec=0x2d0", 720, true},
      {"IspTimeoutSec=\"7\"", 7, true},
      {"IspTimeoutSec=", 30, true},
      {"", 30, true},
      {"IspTimeoutSec=721", 721, false},
      {"IspTimeoutSec=-1", -1, false},
      {"IspTimeoutSec=4294967295", 4294967295, false},
      {"IspTimeoutSec=4294967296", 4294967296, false},
      {"IspTimeoutSec=99999999999999999999999", kMost, false},
      {"IspTimeoutSec=-0x8000000000000001", -kMost - 1, false},
  };
  for (const auto& [line, value, runs] : cases) {
    SCOPED_TRACE(line);
    folder.Write("Isp.ini", "[2860]\n" + line + "\n");
    ASSERT_EQ(LoadJob(profile, context, console, 10, &job), 0);
    EXPECT_EQ(job.IspTimeoutSec, value);
    console.log.clear();
    EXPECT_EQ(CheckIspTimeout(job, console), runs);
    if (runs) {
      EXPECT_TRUE(console.log.empty());
    } else {
      EXPECT_THAT(console.log, ElementsAre("IspTimeoutSec is " + std::to_string(value) +
                                           ", outside the range 0 to 720 !!!"));
    }
  }
}

TEST_F(JobConfigTest, AnotherControllerIsRefusedAndChangesNothing) {
  folder.Write("Isp.ini", "[2860]\nParamAddress2860=5\n");
  job.ParamAddress = 99;
  ASSERT_EQ(LoadJob(profile, context, console, 8, &job), -1);
  EXPECT_THAT(console.log, ElementsAre("This chip(8) is not supported..."));
  EXPECT_EQ(job.ParamAddress, 99u);
  EXPECT_EQ(context.transfer.BlockUnit, 128u);
  EXPECT_EQ(context.transfer.BulkChunk, 4096u);
  EXPECT_EQ(LoadJob(profile, context, console, 10, nullptr), -1);
}

TEST_F(JobConfigTest, APathThatDoesNotFitKeepsTheFieldAsItWasInsteadOfBeingCut) {
  folder.Write("Isp.ini", "[2860]\nFwFile=C:\\" + std::string(257, 'x') + "\nIspFile=" +
                              std::string(300, 'd') + "\\core.bin\n");
  job.FwFile = "kept.bin";
  ASSERT_EQ(LoadJob(profile, context, console, 10, &job), 0);
  EXPECT_EQ(job.FwFile, "kept.bin");
  // A long relative value keeps its last component whole.
  EXPECT_EQ(job.IspFile, InFolder("core.bin"));
}

TEST_F(JobConfigTest, AMissingFileGivesAllDefaults) {
  ASSERT_EQ(LoadJob(profile, context, console, 10, &job), 0);
  EXPECT_EQ(job.IspTimeoutSec, 30);
  EXPECT_EQ(job.FwFileID, 256u);
}

// The pins of a job guard it only when they come with it: a file that cannot
// be read whole (its pins would read as none) stops the load, and the job
// stays as it was.
TEST_F(JobConfigTest, AConfigurationThatCannotBeReadWholeLoadsNoJob) {
  // Another profile's reading that found its file changed (the system's
  // functions read each key on its own).
  class ChangedReading final : public ProfileReading {
   public:
    explicit ChangedReading(std::unique_ptr<ProfileReading> inner) : inner_(std::move(inner)) {}
    std::int32_t ReadInt(std::string_view section, std::string_view key, std::int32_t value) override {
      return inner_->ReadInt(section, key, value);
    }
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view value, std::size_t capacity) override {
      return inner_->ReadString(section, key, value, capacity);
    }
    State Verdict() override { return State::kChanged; }

   private:
    std::unique_ptr<ProfileReading> inner_;
  };
  class ChangingProfile final : public Profile {
   public:
    explicit ChangingProfile(Profile& inner) : inner_(inner) {}
    std::int32_t ReadInt(const std::string& path, std::string_view section, std::string_view key,
                         std::int32_t value) override {
      return inner_.ReadInt(path, section, key, value);
    }
    std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value, std::size_t capacity) override {
      return inner_.ReadString(path, section, key, value, capacity);
    }
    std::unique_ptr<ProfileReading> Read(const std::string& path) override {
      return std::make_unique<ChangedReading>(inner_.Read(path));
    }
    bool WriteStrings(const std::string& path, std::span<const ProfileEntry> entries,
                      std::string& why) override {
      return inner_.WriteStrings(path, entries, why);
    }

   private:
    Profile& inner_;
  };

  job.FwFile = "as it was";
  job.FwSha256 = std::string(64, 'a');
  folder.Write("Isp.ini", "[2860]\nFwFile=new.bin\nFwSha256=" + std::string(64, 'b') + "\n");
  ChangingProfile changing(profile);
  EXPECT_EQ(LoadJob(changing, context, console, 10, &job), -1);
  // A folder where the file should be cannot be read at all.
  context.configPath = folder.Text();
  EXPECT_EQ(LoadJob(profile, context, console, 10, &job), -1);
  EXPECT_THAT(console.log, ElementsAre(folder.File("Isp.ini") + " changed while it was read !!!",
                                       "Cannot read " + folder.Text() + " !!!"));
  EXPECT_EQ(job.FwFile, "as it was");
  EXPECT_EQ(job.FwSha256, std::string(64, 'a'));
}

TEST_F(JobConfigTest, SavingWritesTheThreePathsForTheVexa2860Only) {
  folder.Write("Isp.ini", "; keep me\n[DevNo]\nChipID=10\n[2860]\nIspTimeoutSec=9\nFwFile=old.bin\n");
  job.ParamFile = "C:\\p.txt";
  job.IspFile = "C:\\c.bin";
  job.FwFile = "C:\\f.bin";
  SaveJobFiles(profile, context, 8, &job);
  SaveJobFiles(profile, context, 10, nullptr);
  EXPECT_EQ(profile.ReadString(ConfigPath(folder.Text()), "2860", "FwFile", "", 260), "old.bin");

  SaveJobFiles(profile, context, 10, &job);
  BurnJob reloaded;
  ASSERT_EQ(LoadJob(profile, context, console, 10, &reloaded), 0);
  EXPECT_EQ(reloaded.ParamFile, "C:\\p.txt");
  EXPECT_EQ(reloaded.IspFile, "C:\\c.bin");
  EXPECT_EQ(reloaded.FwFile, "C:\\f.bin");
  EXPECT_EQ(reloaded.IspTimeoutSec, 9);
  const std::vector<std::uint8_t> bytes = folder.Read("Isp.ini");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).rfind("; keep me", 0), 0u);
}

TEST_F(JobConfigTest, TheJobIsReadFromAndSavedToTheConfigurationFileGivenWhateverItsName) {
  folder.Write("Isp.ini", "[2860]\nParamAddress2860=1\nFwFile=beside.bin\n");
  context.configPath = folder.Write("other.ini", "[2860]\nParamAddress2860=2\nFwFile=named.bin\n");
  ASSERT_EQ(LoadJob(profile, context, console, 10, &job), 0);
  EXPECT_EQ(job.ParamAddress, 2u);
  EXPECT_EQ(job.FwFile, InFolder("named.bin"));

  job.FwFile = "C:\\chosen.bin";
  SaveJobFiles(profile, context, 10, &job);
  EXPECT_EQ(profile.ReadString(context.configPath, "2860", "FwFile", "", 260), "C:\\chosen.bin");
  const std::vector<std::uint8_t> beside = folder.Read("Isp.ini");
  EXPECT_EQ(std::string(beside.begin(), beside.end()), "[2860]\nParamAddress2860=1\nFwFile=beside.bin\n");
}

TEST(ReadSettingsTest, ReadsTheStartUpKeys) {
  test::TempFolder folder;
  test::NativeProfile profile;
  const std::string path = folder.Write(
      "Isp.ini",
      "[DevNo]\nChipID=10\n[616]\nCoreAddress616_MR=0x616\nDramAddress616_MR=0x1616\n"
      "NandReserveSize616=100\n[618]\nCoreAddress618_NN=0x618\nDramAddress618_NN=0x1618\n"
      "NandReserveSize618=200\n[2860]\nAutoPowerDown2860=1\n[BadPixel]\nLinkFlag=1\n"
      "BadpixelFile=" + std::string(300, 'b') + "\n[MaskFlag]\nMaskFlag=0\nMaskRom=1\nNormalNand=1\n");
  Settings settings;
  ASSERT_EQ(ReadSettings(profile, path, settings), 0);
  EXPECT_EQ(settings.controllerCode, 10);
  EXPECT_EQ(settings.legacyCoreAddress.At(LegacyController::k616, LegacyMode::kMask, LegacyMedia::kRom),
            0x616u);
  EXPECT_EQ(settings.legacyDramAddress.At(LegacyController::k616, LegacyMode::kMask, LegacyMedia::kRom),
            0x1616u);
  EXPECT_EQ(settings.legacyCoreAddress.At(LegacyController::k618, LegacyMode::kNormal,
                                          LegacyMedia::kNand),
            0x618u);
  EXPECT_EQ(settings.legacyDramAddress.At(LegacyController::k618, LegacyMode::kNormal,
                                          LegacyMedia::kNand),
            0x1618u);
  EXPECT_EQ(settings.legacyCoreAddress.At(LegacyController::k616, LegacyMode::kNormal,
                                          LegacyMedia::kNand),
            0u);
  EXPECT_EQ(settings.NandReserveSize616, 100u);
  EXPECT_EQ(settings.NandReserveSize618, 200u);
  EXPECT_EQ(settings.AutoPowerDown2860, 1);
  EXPECT_EQ(settings.LinkFlag, 1);
  EXPECT_EQ(settings.BadpixelFile, std::string(254, 'b'));
  EXPECT_EQ(settings.MaskFlag, 0);
  EXPECT_EQ(settings.MaskRom, 1);
  EXPECT_EQ(settings.MaskNand, 0);
  EXPECT_EQ(settings.NormalNand, 1);
}

TEST(ReadSettingsTest, AMissingFileIs2AndLeavesEverythingAtZero) {
  test::TempFolder folder;
  test::NativeProfile profile;
  Settings settings;
  EXPECT_EQ(ReadSettings(profile, folder.File("Isp.ini"), settings), 2);
  EXPECT_EQ(ReadSettings(profile, folder.Text(), settings), 2) << "a folder is not a file";
  EXPECT_EQ(settings.controllerCode, 0);
  EXPECT_EQ(settings.BadpixelFile, "");
}

TEST(ReadSettingsTest, TheFileSitsBesideTheExecutable) {
  EXPECT_EQ(ConfigPath("X:\\tools"), std::string("X:\\tools") + kPathSeparator + "Isp.ini");
}

}  // namespace
}  // namespace bb
