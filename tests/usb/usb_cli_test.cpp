// The command-line program reaching a camera through libusb, with the camera
// emulated below libusb at the kernel's interface: the same simulated camera
// that the other tests use answers the URBs of real libusb calls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "common/context.h"
#include "common/control_ids.h"
#include "config/read_settings.h"
#include "sim/fresh_camera.h"
#include "usb/camera_intake.h"
#include "usb/cli_run.h"
#include "usb/emulated_camera.h"
#include "usb/usb_testbed.h"

namespace bb::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class UsbCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UsbTestbed::Available())
        << "the libusb tests emulate cameras with umockdev and must run under umockdev-wrapper";
    testbed_ = std::make_unique<UsbTestbed>();
    camera_ = std::make_unique<EmulatedCamera>(*testbed_);
    sim::SetUpFreshCamera(camera_->Model(), false);
    for (const char* name : {"Isp.ini", "param.txt", "core.bin", "fw.brn", "files.ini"}) {
      std::filesystem::copy_file(std::filesystem::path(BURNBENCH_EXAMPLES_DIR) / name, work_.Path() / name);
    }
  }

  // The program on the emulated camera, with its id given on the command line.
  CliResult Usb(const std::vector<std::string>& arguments, CliRunOptions options = {}) {
    std::vector<std::string> all{"--usb-id", "1234:2860"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return Run(all, options);
  }

  CliResult Run(const std::vector<std::string>& arguments, CliRunOptions options = {}) {
    std::vector<std::string> all{"--virtual-clock", "--ini", work_.File("Isp.ini")};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunCli(all, {camera_.get()}, work_, options);
  }

  CliResult Simulated(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{"--simulate", "--virtual-clock", "--ini", work_.File("Isp.ini")};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunCli(all, {}, work_);
  }

  CameraIntake EmulatedIntake() {
    return IntakeOf(camera_->Requests(), camera_->BulkOutSizes(), camera_->Model());
  }

  std::string MakeFolder(const std::string& name) {
    std::filesystem::create_directories(work_.Path() / name);
    std::filesystem::copy_file(work_.Path() / "files.ini", work_.Path() / name / "files.ini");
    return work_.File(name);
  }

  TempFolder work_;
  std::unique_ptr<UsbTestbed> testbed_;
  std::unique_ptr<EmulatedCamera> camera_;
};

TEST_F(UsbCliTest, TheVersionCheckAsksTheCameraThroughLibusb) {
  camera_->Plug();
  const CliResult usb = Usb({"versions"});
  ASSERT_FALSE(usb.hung);
  EXPECT_EQ(usb.status, 0) << usb.err;
  EXPECT_THAT(usb.out, ElementsAre("AP Version(2,1,0,0)", "F/W Version(1,2,3,4) [Corvane]",
                                   "F/W Version(9,8,7,6) [Customer]"));
  EXPECT_EQ(usb.out, Simulated({"versions"}).out);
  EXPECT_EQ(EmulatedIntake(), ReferenceIntake(work_.Text(), false, [](TestHost& host) {
              host.bench.commands.CheckVersions();
            }));
}

TEST_F(UsbCliTest, AVerifiedBurnFollowsTheCameraThroughItsRestart) {
  camera_->Plug();
  const std::string before = camera_->InterfacePath();
  const CliResult usb = Usb({"burn", "--verify"});
  ASSERT_FALSE(usb.hung);
  EXPECT_EQ(usb.status, 0) << usb.err;
  EXPECT_EQ(usb.out, Simulated({"burn", "--verify"}).out);
  EXPECT_EQ(usb.out.back(), "Read Verify Success !!!");
  // The firmware made the camera leave the bus; it came back at a new address
  // and the burn went on there.
  EXPECT_EQ(camera_->Reenumerations(), 1);
  EXPECT_NE(camera_->InterfacePath(), before);
  EXPECT_EQ(camera_->Model().storageWrites, 1);
  EXPECT_EQ(EmulatedIntake(), ReferenceIntake(work_.Text(), false, [this](TestHost& host) {
              ReadSettings(host.profile, work_.File("Isp.ini"), host.context.settings);
              host.controls.SetChecked(kSilentModeCheck, true);
              host.controls.SetChecked(kReadVerifyCheck, true);
              host.bench.burn.StartBurn();
              host.Pump();
            }));
}

TEST_F(UsbCliTest, AReadBackExportsWhatTheCameraServes) {
  camera_->Plug();
  const CliResult usb = Usb({"read", MakeFolder("usb"), "--yes"});
  ASSERT_FALSE(usb.hung);
  EXPECT_EQ(usb.status, 0) << usb.err;
  const CliResult simulated = Simulated({"read", MakeFolder("simulated"), "--yes"});
  EXPECT_EQ(usb.out, simulated.out);
  EXPECT_EQ(usb.out.back(), "Read Resource Files Success !!!");
  for (const char* file : {"firmware.bin", "A/logo.txt", "A/palette.bin", "B/menu.txt", "B/font.bin"}) {
    EXPECT_EQ(work_.Read(std::string("usb/") + file), work_.Read(std::string("simulated/") + file)) << file;
  }
  EXPECT_EQ(camera_->Reenumerations(), 1);
  const std::string reference = MakeFolder("reference");
  EXPECT_EQ(EmulatedIntake(), ReferenceIntake(work_.Text(), false, [&](TestHost& host) {
              ReadSettings(host.profile, work_.File("Isp.ini"), host.context.settings);
              host.LoadJob();
              host.prompts.ScriptFolder(reference);
              host.bench.sequencer.StartReadBackFromButton();
              host.Pump();
            }));
}

TEST_F(UsbCliTest, ALegacyDownloadTakesTheCameraIdsFromIspIni) {
  std::ofstream(work_.Path() / "Isp.ini", std::ios::app)
      << "\n[Usb]\nIds=abcd:0001, 1234:2860\n[616]\nCoreAddress616_MR=0x12000\n"
         "DramAddress616_MR=0x220000\nNandReserveSize616=0x6160\n";
  std::ofstream(work_.Path() / "ispmask-rom.bin", std::ios::binary) << std::string(3000, 'c');
  std::ofstream(work_.Path() / "fw.bin", std::ios::binary) << std::string(70000, 'f');
  sim::SetUpFreshCamera(camera_->Model(), true);
  camera_->Plug();
  const std::vector<std::string> command{"legacy", "--chip", "616", "--mode", "mask", "--media", "rom",
                                         "--yes", work_.File("fw.bin")};
  const CliResult usb = Run(command);
  ASSERT_FALSE(usb.hung);
  EXPECT_EQ(usb.status, 0) << usb.err;
  EXPECT_EQ(usb.out, Simulated(command).out);
  EXPECT_THAT(usb.out, ElementsAre("Ready to download ispmask-rom.bin ...", "Begin to download ispmask-rom.bin ...",
                                   "Download ispmask-rom.bin OK!", "ISP Write File Prepare...",
                                   "ISP Write File....", "ISP Write File OK."));
  EXPECT_EQ(EmulatedIntake(), ReferenceIntake(work_.Text(), true, [this](TestHost& host) {
              ReadSettings(host.profile, work_.File("Isp.ini"), host.context.settings);
              host.context.controllerCode = kVexa616;
              host.controls.SetChecked(kMaskRadio, true);
              host.controls.SetChecked(kRomRadio, true);
              host.prompts.ScriptOpenFile(work_.File("fw.bin"));
              host.bench.legacy.LegacyDownload();
            }));
}

}  // namespace
}  // namespace bb::test
