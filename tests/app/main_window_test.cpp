#include "app/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "common/control_ids.h"
#include "common/steps.h"
#include "support/test_host.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class FakeProcess final : public ProcessInfo {
 public:
  std::string path;
  std::optional<ProductVersion> version;
  std::string ExecutablePath() override { return path; }
  std::optional<ProductVersion> ReadProductVersionInfo() override { return version; }
};

const std::vector<std::string> kHelpText = {
    "ISP Function Explain：",
    "1.Insure that your camera is ",
    "  functioning correctly.",
    "2.Connect the camera to your PC",
    "  with the USB cable in Setup",
    "  mode.",
    "3.Click 'ISP' to start burn.",
    "4.Click 'ISP' to change selections",
    "  of dram param, Isp core and ",
    "  burn files if 'Silent Mode'",
    "  is unchecked.",
    "5.Read and verify after burn if",
    "  'Read Verify' is checked.",
    "6.Click 'Read' to read files",
    "  from camera.",
};

class MainWindowTest : public ::testing::Test, protected test::TestHost {
 protected:
  MainWindowTest() {
    // The host's context comes from the start-up alone.
    context = Context{};
    process.path = folder.File("Burnbench.exe");
    process.version = ProductVersion{(5u << 16) | 5u, 2u << 16};
  }

  void WriteIni(const std::string& devNo, const std::string& maskFlags = "") {
    folder.Write("Isp.ini", "[DevNo]\n" + devNo + "\n[2860]\nParamFile=param.txt\n" +
                                "IspFile=core.bin\nFwFile=fw.brn\n[MaskFlag]\n" + maskFlags);
  }

  bool Start() { return window.Start(); }

  bool Checked(int id) { return controls.IsChecked(id); }
  bool Enabled(int id) { return controls.IsEnabled(id); }

  FakeProcess process;
  test::TempFolder startupFolder;
  std::ostringstream startupReport;
  MainWindow window{bench, process, StartupImageSite{startupFolder.Path(), startupReport}};
};

TEST_F(MainWindowTest, AVexa2860StartUpShowsTheHelpTextLoadsTheJobAndTitlesTheWindow) {
  WriteIni("ChipID=10", "MaskFlag=1\n");
  context.configPath.clear();
  EXPECT_TRUE(Start());
  EXPECT_THAT(console.log, ElementsAreArray(kHelpText));
  EXPECT_EQ(console.caption, "ISP 2860 [5.5.2]");
  EXPECT_EQ(context.executableFolder, folder.Text());
  EXPECT_EQ(context.configPath, folder.File("Isp.ini"));
  EXPECT_EQ(context.controllerCode, kVexa2860);
  EXPECT_EQ(context.productVersion, *process.version);
  EXPECT_EQ(Job().FwFile, folder.File("fw.brn"));
  EXPECT_THAT(controls.calls, ElementsAre("disable 1013", "disable 1015", "disable 1012",
                                          "disable 1014", "check 1023"));
  EXPECT_THAT(steps.Take(), std::nullopt);
}

TEST_F(MainWindowTest, ChipIdsOutsideTwoToTenLeaveAHalfSetUpWindow) {
  for (const char* chip : {"ChipID=1", "ChipID=11", "ChipID=-3"}) {
    SCOPED_TRACE(chip);
    console = test::RecordingConsole{};
    WriteIni(chip);
    EXPECT_FALSE(Start());
    EXPECT_THAT(console.log, ElementsAre("This AP is not support the chip!"));
    EXPECT_THAT(console.caption, IsEmpty());
    EXPECT_THAT(controls.calls, IsEmpty());
    EXPECT_THAT(Job().FwFile, IsEmpty());
    EXPECT_NE(context.controllerCode, kVexa2860);
  }
}

TEST_F(MainWindowTest, OnAHalfSetUpWindowTheIspButtonRunsTheLegacyDownload) {
  WriteIni("ChipID=11");
  EXPECT_FALSE(Start());
  controls.checked[kSilentModeCheck] = true;
  window.OnCommand(kIspButton);
  // The legacy download asks for its firmware image; a burn of the unloaded job
  // would have opened the file-selection dialog.
  EXPECT_EQ(prompts.OpenFileRequests().size(), 1u);
  EXPECT_THAT(prompts.FileDialogsOpened(), IsEmpty());
  EXPECT_EQ(steps.Take(), std::nullopt);
}

TEST_F(MainWindowTest, AMissingConfigurationStopsTheStartUpToo) {
  EXPECT_FALSE(Start());
  EXPECT_THAT(console.log, ElementsAre("This AP is not support the chip!"));
  EXPECT_EQ(context.controllerCode, 0);
}

TEST_F(MainWindowTest, ChipIdTwoConvertsTheStartUpImageOnceAndThenActsAsTheVexa2860) {
  std::vector<std::uint8_t> input(0x20000);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::uint8_t>(i / 7);
  startupFolder.Write("CORV604.BIN", input);
  WriteIni("ChipID=2", "MaskFlag=1\n");
  EXPECT_TRUE(Start());
  const std::vector<std::uint8_t> output = startupFolder.Read("VuVED3038.bin");
  ASSERT_EQ(output.size(), 0x20000u);
  EXPECT_TRUE(std::equal(input.begin(), input.begin() + 0x1FF00, output.begin()));
  EXPECT_TRUE(std::equal(input.begin(), input.begin() + 0x100, output.begin() + 0x1FF00));
  EXPECT_THAT(startupReport.str(), IsEmpty());
  EXPECT_EQ(context.controllerCode, kVexa2860);
  EXPECT_EQ(console.caption, "ISP 2860 [5.5.2]");
  EXPECT_THAT(console.log, ElementsAreArray(kHelpText));
  // Unlike 10, code 2 leaves the mode and media radios as defined.
  EXPECT_THAT(controls.calls, ElementsAre("check 1023"));
}

TEST_F(MainWindowTest, ChipIdTwoWithoutTheInputReportsAndGoesOn) {
  WriteIni("ChipID=2");
  EXPECT_TRUE(Start());
  EXPECT_EQ(startupReport.str(), "file open fail\nfile open fail\n");
  EXPECT_EQ(startupFolder.Read("VuVED3038.bin").size(), 0x20000u);
  EXPECT_EQ(console.caption, "ISP 2860 [5.5.2]");
}

TEST_F(MainWindowTest, LegacyChipIdsCheckTheirRadioButEndAsTheVexa2860) {
  struct Case {
    const char* chip;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"ChipID=4", {"disable 1013", "disable 1015", "disable 1012", "disable 1014", "check 1021",
                    "check 1023"}},
      {"ChipID=6", {"check 1020", "check 1023"}},
      {"ChipID=8", {"check 1019", "check 1023"}},
      {"ChipID=5", {"disable 1013", "disable 1015", "disable 1012", "disable 1014", "check 1023"}},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.chip);
    controls = test::RecordingControls{};
    WriteIni(each.chip, "MaskFlag=1\n");
    EXPECT_TRUE(Start());
    EXPECT_EQ(controls.calls, each.calls);
    EXPECT_EQ(context.controllerCode, kVexa2860);
  }
}

TEST_F(MainWindowTest, MaskFlagZeroDisablesTheRadiosButKeepsTheChecksTheFileAskedFor) {
  WriteIni("ChipID=6", "MaskFlag=0\nMaskRom=1\n");
  EXPECT_TRUE(Start());
  EXPECT_THAT(controls.calls,
              ElementsAre("check 1020", "disable 1013", "disable 1015", "disable 1012",
                          "disable 1014", "enable 1000", "disable 1021", "disable 1020",
                          "disable 1019", "check 1013", "check 1014", "check 1023"));
  EXPECT_TRUE(Checked(kMaskRadio) && Checked(kRomRadio));
  EXPECT_FALSE(Enabled(kMaskRadio) || Enabled(kRomRadio));
  EXPECT_FALSE(Checked(kNormalRadio) || Checked(kNandRadio));
}

TEST_F(MainWindowTest, SeveralRadioFlagsEachAddTheirChecksAndOnlyOneCounts) {
  WriteIni("ChipID=10", "MaskFlag=1\nMaskRom=1\nNormalNand=1\nMaskNand=2\nNormalRom=-1\n");
  EXPECT_TRUE(Start());
  EXPECT_THAT(controls.calls,
              ElementsAre("disable 1013", "disable 1015", "disable 1012", "disable 1014",
                          "check 1013", "check 1014", "check 1012", "check 1015", "check 1023"));
}

TEST_F(MainWindowTest, TheCaptionCarriesTheRevisionOnlyWhenItIsNotZero) {
  WriteIni("ChipID=10");
  process.version = ProductVersion{(5u << 16) | 5u, (2u << 16) | 7u};
  EXPECT_TRUE(Start());
  EXPECT_EQ(console.caption, "ISP 2860 [5.5.2.7]");
  process.version.reset();
  EXPECT_TRUE(Start());
  EXPECT_EQ(console.caption, "ISP 2860 [0.0.0]");
  EXPECT_EQ(context.productVersion, ProductVersion{});
}

class MainWindowCommandTest : public MainWindowTest {
 protected:
  MainWindowCommandTest() {
    camera = &bus.Attach();
    WriteSampleJob(SampleContent(), "[MaskFlag]\nMaskFlag=1\n");
    EXPECT_TRUE(Start());
    console = test::RecordingConsole{};
    controls = test::RecordingControls{};
  }
  // An automatic radio checks itself before the window hears of the click.
  void Click(int id) {
    controls.checked[id] = true;
    window.OnCommand(id);
  }
  sim::SimCamera* camera = nullptr;
};

TEST_F(MainWindowCommandTest, TheIspButtonStartsAVexa2860Burn) {
  controls.checked[kSilentModeCheck] = true;
  window.OnCommand(kIspButton);
  EXPECT_EQ(Job().WorkKind, kBurn);
  EXPECT_EQ(Pump().back(), kStepEnd);
  EXPECT_EQ(console.log.back(), "ISP Write File OK !!!");
}

TEST_F(MainWindowCommandTest, VersionCheckEmptiesTheLogAndShowsTheVersions) {
  console.AddLogLine("old line");
  window.OnCommand(kVersionButton);
  ASSERT_FALSE(console.log.empty());
  EXPECT_THAT(console.log.front(), ::testing::StartsWith("AP Version("));
  EXPECT_THAT(steps.Take(), std::nullopt);
}

TEST_F(MainWindowCommandTest, ReadEmptiesTheLogAndStartsAReadBack) {
  console.AddLogLine("old line");
  window.OnCommand(kReadButton);
  EXPECT_THAT(console.log, IsEmpty());
  EXPECT_EQ(Job().WorkKind, kReadBack);
  EXPECT_EQ(steps.Take(), kStepStart);
}

TEST_F(MainWindowCommandTest, AModeRadioEnablesIspOnlyOnceAMediaIsChosen) {
  Click(kMaskRadio);
  EXPECT_THAT(controls.calls, IsEmpty());
  controls.checked[kRomRadio] = true;
  Click(kNormalRadio);
  EXPECT_THAT(controls.calls, ElementsAre("enable 1000"));
}

TEST_F(MainWindowCommandTest, AMediaRadioWaitsForAModeOnlyOnTheVexa616And618) {
  Click(kNandRadio);
  EXPECT_THAT(controls.calls, ElementsAre("enable 1000"));
  for (const std::int32_t code : {kVexa616, kVexa618}) {
    controls.calls.clear();
    controls.checked.clear();
    context.controllerCode = code;
    Click(kRomRadio);
    EXPECT_THAT(controls.calls, IsEmpty());
    controls.checked[kMaskRadio] = true;
    Click(kNandRadio);
    EXPECT_THAT(controls.calls, ElementsAre("enable 1000"));
  }
  controls.calls.clear();
  controls.checked.clear();
  context.controllerCode = kVexa611;
  Click(kRomRadio);
  EXPECT_THAT(controls.calls, ElementsAre("enable 1000"));
}

TEST_F(MainWindowCommandTest, TheVexa611RadioNeedsNoModeOrMedia) {
  controls.checked[kMaskRadio] = controls.checked[kNandRadio] = true;
  Click(kVexa611Radio);
  EXPECT_EQ(context.controllerCode, kVexa611);
  EXPECT_THAT(controls.calls,
              ElementsAre("uncheck 1013", "uncheck 1012", "uncheck 1015", "uncheck 1014",
                          "uncheck 1020", "uncheck 1019", "enable 1000", "disable 1013",
                          "disable 1015", "disable 1012", "disable 1014"));
}

TEST_F(MainWindowCommandTest, TheVexa616And618RadiosAskForModeAndMediaFirst) {
  Click(kVexa616Radio);
  EXPECT_EQ(context.controllerCode, kVexa616);
  EXPECT_THAT(controls.calls,
              ElementsAre("uncheck 1013", "uncheck 1012", "uncheck 1015", "uncheck 1014",
                          "uncheck 1021", "uncheck 1019", "disable 1000", "enable 1013",
                          "enable 1015", "enable 1012", "enable 1014"));
  EXPECT_FALSE(Checked(kVexa618Radio));
  controls.calls.clear();
  Click(kVexa618Radio);
  EXPECT_EQ(context.controllerCode, kVexa618);
  EXPECT_FALSE(Checked(kVexa616Radio));
  EXPECT_THAT(controls.calls,
              ElementsAre("uncheck 1013", "uncheck 1012", "uncheck 1015", "uncheck 1014",
                          "uncheck 1021", "uncheck 1020", "disable 1000", "enable 1013",
                          "enable 1015", "enable 1012", "enable 1014"));
}

TEST_F(MainWindowCommandTest, AnUncheckedLegacyRadioKeepsTheCodeButStillResetsTheRadios) {
  window.OnCommand(kVexa616Radio);
  EXPECT_EQ(context.controllerCode, kVexa2860);
  EXPECT_THAT(controls.calls, ::testing::Contains("disable 1000"));
}

TEST_F(MainWindowCommandTest, TheVexa2860RadioAndTheComboDoNothing) {
  Click(kVexa2860Radio);
  window.OnCommand(kChipCombo);
  EXPECT_THAT(controls.calls, IsEmpty());
  EXPECT_THAT(console.calls, IsEmpty());
  EXPECT_EQ(steps.Take(), std::nullopt);
}

TEST(AboutVersionTextTest, ShowsTheRevisionOnlyWhenItIsNotZero) {
  EXPECT_EQ(AboutVersionText(ProductVersion{(5u << 16) | 5u, 2u << 16}), "ZIV Version 5.5.2");
  EXPECT_EQ(AboutVersionText(ProductVersion{(5u << 16) | 5u, (2u << 16) | 7u}), "ZIV[5.5.2.7]");
  EXPECT_EQ(AboutVersionText(ProductVersion{}), "ZIV Version 0.0.0");
  EXPECT_EQ(AboutVersionText(ProductVersion{0xFFFFFFFFu, 0xFFFFFFFFu}),
            "ZIV[65535.65535.65535.65535]");
}

}  // namespace
}  // namespace bb
