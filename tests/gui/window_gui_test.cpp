// The Windows program as the operator meets it: its real window, driven from
// another process through the window's own messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/record/recording_format.h"
#include "util/sha256.h"
#include "window_driver.h"

namespace bb::gui {
namespace {

constexpr int kIspButton = 1000;
constexpr int kVersionButton = 1001;
constexpr int kNandRadio = 1012;
constexpr int kMaskRadio = 1013;
constexpr int kRomRadio = 1014;
constexpr int kNormalRadio = 1015;
constexpr int kSilentModeCheck = 1022;
constexpr int kVexa2860Radio = 1023;
constexpr int kReadVerifyCheck = 1036;
constexpr int kReadButton = 1037;
constexpr int kAboutVersionText = 1038;
constexpr int kParameterEdit = 1028;
constexpr int kCoreEdit = 1030;
constexpr int kFirmwareEdit = 1032;
constexpr WPARAM kAboutCommand = 16;

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

std::filesystem::path Example(const char* name) {
  return std::filesystem::path(BURNBENCH_EXAMPLES_DIR) / name;
}

std::vector<std::filesystem::path> SampleJob() {
  return {Example("Isp.ini"), Example("param.txt"), Example("core.bin"), Example("fw.brn"),
          Example("files.ini")};
}

std::string IniWith(const std::string& devNo, const std::string& maskFlags) {
  return "[DevNo]\r\n" + devNo + "\r\n[2860]\r\nParamFile=param.txt\r\nIspFile=core.bin\r\n" +
         "FwFile=fw.brn\r\n[MaskFlag]\r\n" + maskFlags;
}

class WindowTest : public ::testing::Test {
 protected:
  ProgramUnderTest demo{BURNBENCH_DEMO_EXE, SampleJob()};

  bool RunButtonsEnabled() const {
    return demo.Enabled(kIspButton) && demo.Enabled(kVersionButton) && demo.Enabled(kReadButton);
  }
};

TEST_F(WindowTest, StartsWithTheHelpTextTheVersionCaptionAndTheFocusOnIsp) {
  ASSERT_TRUE(demo.Start());
  EXPECT_EQ(demo.LogLines(), kHelpText);
  EXPECT_EQ(demo.Caption(), "ISP 2860 [5.5.2]");
  EXPECT_TRUE(demo.Checked(kVexa2860Radio));
  EXPECT_EQ(demo.FocusedControl(), demo.Control(kIspButton));
  EXPECT_TRUE(RunButtonsEnabled());
}

TEST_F(WindowTest, ChipIdsOneAndElevenStopTheStartUp) {
  for (const char* chip : {"ChipID=1", "ChipID=11"}) {
    SCOPED_TRACE(chip);
    ProgramUnderTest program(BURNBENCH_DEMO_EXE, {});
    program.WriteFile("Isp.ini", IniWith(chip, "MaskFlag=1\r\n"));
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.LogLines(), std::vector<std::string>{"This AP is not support the chip!"});
    EXPECT_EQ(program.Caption(), "Burnbench V5.4.3");
    EXPECT_FALSE(program.Checked(kVexa2860Radio));
    EXPECT_TRUE(program.Enabled(kIspButton));
  }
}

TEST_F(WindowTest, ChipIdTwoStartsAsTheVexa2860) {
  ProgramUnderTest program(BURNBENCH_DEMO_EXE, {});
  program.WriteFile("Isp.ini", IniWith("ChipID=2", "MaskFlag=1\r\n"));
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(program.LogLines(), kHelpText);
  EXPECT_EQ(program.Caption(), "ISP 2860 [5.5.2]");
  // The conversion ran in the program's folder, without an input.
  EXPECT_TRUE(std::filesystem::exists(program.Folder() / "VuVED3038.bin"));
}

TEST_F(WindowTest, MaskFlagZeroKeepsTheRequestedChecksButDisablesTheRadios) {
  ProgramUnderTest program(BURNBENCH_DEMO_EXE, {});
  program.WriteFile("Isp.ini", IniWith("ChipID=10", "MaskFlag=0\r\nMaskRom=1\r\n"));
  ASSERT_TRUE(program.Start());
  EXPECT_TRUE(program.Checked(kMaskRadio));
  EXPECT_TRUE(program.Checked(kRomRadio));
  EXPECT_FALSE(program.Checked(kNormalRadio) || program.Checked(kNandRadio));
  EXPECT_FALSE(program.Enabled(kMaskRadio) || program.Enabled(kRomRadio));
}

TEST_F(WindowTest, TwoRadioFlagsCheckAllFourRadios) {
  ProgramUnderTest program(BURNBENCH_DEMO_EXE, {});
  program.WriteFile("Isp.ini", IniWith("ChipID=10", "MaskFlag=1\r\nMaskRom=1\r\nNormalNand=1\r\n"));
  ASSERT_TRUE(program.Start());
  for (const int radio : {kMaskRadio, kRomRadio, kNormalRadio, kNandRadio}) {
    EXPECT_TRUE(program.Checked(radio)) << radio;
  }
}

TEST_F(WindowTest, VersionCheckReplacesTheLogWithTheCamerasVersions) {
  ASSERT_TRUE(demo.Start());
  demo.Click(kVersionButton);
  ASSERT_TRUE(WaitUntil([&] { return demo.LogLines().size() == 3; }));
  const std::vector<std::string> lines = demo.LogLines();
  EXPECT_EQ(lines[0].rfind("AP Version(", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("F/W Version(", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("F/W Version(", 0), 0u) << lines[2];
}

// With BURNBENCH_SHOT_DIR set, the window waits after the burn until the
// script that runs the tests has taken its screenshot.
void OfferScreenshot() {
  const char* folder = std::getenv("BURNBENCH_SHOT_DIR");
  if (folder == nullptr) return;
  const std::filesystem::path ready = std::filesystem::path(folder) / "ready";
  const std::filesystem::path taken = std::filesystem::path(folder) / "taken";
  std::ofstream(ready).put('\n');
  EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(taken); }));
}

TEST_F(WindowTest, ASilentBurnWithReadVerifyRunsThroughToTheVerify) {
  ASSERT_TRUE(demo.Start());
  demo.Check(kSilentModeCheck, true);
  demo.Check(kReadVerifyCheck, true);
  demo.Click(kIspButton);
  ASSERT_TRUE(demo.WaitForLogLine("Read Verify Success !!!", std::chrono::seconds(90)))
      << ::testing::PrintToString(demo.LogLines());
  EXPECT_EQ(demo.LastLogLine(), "Read Verify Success !!!");
  EXPECT_EQ(demo.Caption(), "ISP 2860 [5.5.2] - [1.2.3.4]");
  EXPECT_TRUE(WaitUntil([&] { return RunButtonsEnabled(); }));
  EXPECT_TRUE(std::filesystem::exists(demo.Folder() / "fw.brn.raw.brn"));
  OfferScreenshot();
}

// A refused image ends the burn at its first step: the log shows why, the
// camera hears nothing, and the run buttons come back for the next try. The
// window makes a run's recording when the run first reaches the camera (as
// ABurnIsRecordedWhenIspIniAsksForIt shows): none is made here.
TEST_F(WindowTest, AWrongPinOrAnEmptyImageStopsTheBurnWithItsLineAndTheButtonsComeBack) {
  const std::string job = "[DevNo]\r\nChipID=10\r\n[2860]\r\nParamFile=param.txt\r\n"
                          "IspFile=core.bin\r\nFwFile=fw.brn\r\n";
  const std::string folder = demo.Folder().string();
  const std::optional<FileDigest> firmware = HashFile(folder + "\\fw.brn");
  ASSERT_TRUE(firmware);
  const std::string right = ToHex(firmware->digest);
  std::string wrong = right;
  wrong[40] = wrong[40] == 'a' ? 'b' : 'a';
  const std::string record = "[Record]\r\nFile=refused.bbrec\r\n";
  demo.WriteFile("Isp.ini", job + "FwSha256=" + wrong + "\r\n" + record);
  ASSERT_TRUE(demo.Start());
  demo.Check(kSilentModeCheck, true);
  demo.Click(kIspButton);
  const std::string mismatch = "SHA-256 mismatch: " + folder + "\\fw.brn is " + right +
                               ", FwSha256 is " + wrong + " !!!";
  ASSERT_TRUE(demo.WaitForLogLine(mismatch)) << ::testing::PrintToString(demo.LogLines());
  EXPECT_EQ(demo.LogLines(), std::vector<std::string>{mismatch});
  EXPECT_TRUE(WaitUntil([&] { return RunButtonsEnabled(); }));

  // The job is read again at every press: without the pin, an empty parameter file.
  demo.WriteFile("Isp.ini", job + record);
  demo.WriteFile("param.txt", "");
  demo.Click(kIspButton);
  const std::string empty = "File " + folder + "\\param.txt is empty !!!";
  ASSERT_TRUE(demo.WaitForLogLine(empty)) << ::testing::PrintToString(demo.LogLines());
  EXPECT_EQ(demo.LogLines(), std::vector<std::string>{empty});
  EXPECT_TRUE(WaitUntil([&] { return RunButtonsEnabled(); }));
  EXPECT_FALSE(std::filesystem::exists(demo.Folder() / "refused.bbrec"));
}

TEST_F(WindowTest, EscWhileWaitingForTheCameraEndsTheRunWithoutBurning) {
  ASSERT_TRUE(demo.Start());
  demo.Check(kSilentModeCheck, true);
  demo.Click(kIspButton);
  ASSERT_TRUE(WaitUntil([&] { return !demo.Enabled(kIspButton); }));
  demo.PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitUntil([&] { return RunButtonsEnabled(); }));
  EXPECT_TRUE(IsWindow(demo.Window()));
  // The camera comes back after the run has ended; its arrival must not start
  // the storage write.
  ASSERT_TRUE(WaitUntil([&] {
    demo.Click(kVersionButton);
    return WaitUntil(
        [&] { return !demo.LogLines().empty() && demo.LogLines()[0].rfind("AP Version(", 0) == 0; },
        std::chrono::seconds(1));
  }));
  EXPECT_EQ(demo.Caption(), "ISP 2860 [5.5.2]");
}

TEST_F(WindowTest, AVolumeArrivingWhileABurnWaitsForTheCameraChangesNothing) {
  ASSERT_TRUE(demo.Start());
  demo.Check(kSilentModeCheck, true);
  demo.Click(kIspButton);
  ASSERT_TRUE(WaitUntil([&] { return !demo.Enabled(kIspButton); }));
  // A memory stick plugged in now: Windows tells every top-level window. The
  // window takes the message once the first stage is over and it waits.
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof(volume);
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << ('E' - 'A');
  DWORD_PTR result = 0;
  ASSERT_NE(SendMessageTimeoutW(demo.Window(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                                reinterpret_cast<LPARAM>(&volume), SMTO_NORMAL, 60000, &result),
            0);
  ASSERT_TRUE(demo.WaitForLogLine("ISP Write File OK !!!", std::chrono::seconds(90)))
      << ::testing::PrintToString(demo.LogLines());
  const std::vector<std::string> lines = demo.LogLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ISP Version(1,2,3,4)"), 1);
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "Get ISP Version Failed!"), lines.end());
  EXPECT_TRUE(WaitUntil([&] { return RunButtonsEnabled(); }));
}

TEST_F(WindowTest, EscWhileIdleLeavesTheWindowAsItWas) {
  ASSERT_TRUE(demo.Start());
  demo.PressKey(VK_ESCAPE);
  demo.Click(kVersionButton);
  ASSERT_TRUE(WaitUntil([&] { return demo.LogLines().size() == 3; }));
  EXPECT_TRUE(IsWindow(demo.Window()));
  EXPECT_TRUE(RunButtonsEnabled());
}

TEST_F(WindowTest, TheFileSelectionDialogShowsTheJobAndRefusesAnOverLongPath) {
  ASSERT_TRUE(demo.Start());
  demo.Click(kIspButton);
  HWND files = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (files = demo.FindOwnWindow("Select Files")) != nullptr; }));
  const std::string folder = demo.Folder().string();
  EXPECT_EQ(ProgramUnderTest::TextOf(GetDlgItem(files, kParameterEdit)), folder + "\\param.txt");
  EXPECT_EQ(ProgramUnderTest::TextOf(GetDlgItem(files, kCoreEdit)), folder + "\\core.bin");
  EXPECT_EQ(ProgramUnderTest::TextOf(GetDlgItem(files, kFirmwareEdit)), folder + "\\fw.brn");

  const std::wstring tooLong(256, L'x');
  SendMessageW(GetDlgItem(files, kCoreEdit), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(tooLong.c_str()));
  PostMessageW(GetDlgItem(files, IDOK), BM_CLICK, 0, 0);
  HWND refusal = nullptr;
  ASSERT_TRUE(
      WaitUntil([&] { return (refusal = demo.FindOwnWindow("BurnbenchDemo")) != nullptr; }));
  const std::vector<std::string> texts = ProgramUnderTest::ChildTexts(refusal);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Please enter no more than 255 characters."),
            texts.end());
  PostMessageW(refusal, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(refusal); }));
  EXPECT_TRUE(IsWindow(files));

  PostMessageW(files, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(files); }));
  // A cancelled dialog starts nothing.
  EXPECT_EQ(demo.LogLines(), std::vector<std::string>{});
  EXPECT_TRUE(RunButtonsEnabled());
}

TEST_F(WindowTest, TheAboutBoxShowsTheProductVersion) {
  ASSERT_TRUE(demo.Start());
  PostMessageW(demo.Window(), WM_SYSCOMMAND, kAboutCommand, 0);
  HWND about = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (about = demo.FindOwnWindow("关于 Burnbench")) != nullptr; }));
  EXPECT_EQ(ProgramUnderTest::TextOf(GetDlgItem(about, kAboutVersionText)), "ZIV Version 5.5.2");
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
  EXPECT_TRUE(IsWindow(demo.Window()));
}

// With [Record] File= in Isp.ini the window records each run; once the run is
// over its file is complete. scripts/gui-test.sh has the command-line program
// replay it on Linux, from where BURNBENCH_RECORDING_OUT asks for a copy.
TEST_F(WindowTest, ABurnIsRecordedWhenIspIniAsksForIt) {
  std::ifstream sample(Example("Isp.ini"), std::ios::binary);
  const std::string ini(std::istreambuf_iterator<char>(sample), {});
  demo.WriteFile("Isp.ini", ini + "\r\n[Record]\r\nFile=run.bbrec\r\n");
  ASSERT_TRUE(demo.Start());
  demo.Check(kSilentModeCheck, true);
  demo.Check(kReadVerifyCheck, true);
  demo.Click(kIspButton);
  ASSERT_TRUE(demo.WaitForLogLine("Read Verify Success !!!", std::chrono::seconds(90)));

  const std::filesystem::path file = demo.Folder() / "run.bbrec";
  const std::u8string name = file.u8string();
  std::optional<record::Recording> recording;
  std::string error;
  ASSERT_TRUE(WaitUntil([&] {
    recording = record::ReadRecordingFile(std::string(name.begin(), name.end()), error);
    return recording.has_value();
  })) << error;
  EXPECT_EQ(recording->header.program, "BurnbenchDemo 5.5.2.0");
  EXPECT_EQ(recording->header.platform, "Windows x86_64");
  const std::string folder = demo.Folder().string();
  EXPECT_EQ(recording->header.commands,
            (std::vector<std::vector<std::string>>{{"--ini", folder + "\\Isp.ini", "burn", "--verify"}}));
  ASSERT_EQ(recording->header.images.size(), 3u);
  for (const record::ImageFile& image : recording->header.images) EXPECT_TRUE(image.present) << image.role;
  EXPECT_FALSE(recording->exitStatus);
  if (const char* out = std::getenv("BURNBENCH_RECORDING_OUT")) {
    std::filesystem::copy_file(file, out, std::filesystem::copy_options::overwrite_existing);
  }
}

TEST(UsbProgramTest, WithoutACameraIspReportsAConnectionError) {
  ProgramUnderTest program(BURNBENCH_EXE, SampleJob());
  ASSERT_TRUE(program.Start());
  program.Check(kSilentModeCheck, true);
  program.Click(kIspButton);
  // A device error may also be shown in a box of its own; it is answered.
  ASSERT_TRUE(WaitUntil([&] {
    if (const HWND box = program.FindOwnWindow("Corvane ISP")) {
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return program.LastLogLine() == "USB Connection Error !!!";
  }));
  EXPECT_TRUE(WaitUntil([&] { return program.Enabled(kIspButton); }));
}

}  // namespace
}  // namespace bb::gui
