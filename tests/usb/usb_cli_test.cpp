// The command-line program reaching a camera through libusb, with the camera
// emulated below libusb at the kernel's interface: the same simulated camera
// that the other tests use answers the URBs of real libusb calls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

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

  std::string ReportText() const {
    const std::vector<std::uint8_t> bytes = work_.Read("runs.jsonl");
    return std::string(bytes.begin(), bytes.end());
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

TEST_F(UsbCliTest, WithoutACameraIdNoDeviceCommandRuns) {
  camera_->Plug();
  CliResult result = Run({"versions"});
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(result.out.empty());
  EXPECT_THAT(result.err, HasSubstr("no camera USB id is configured"));
  EXPECT_THAT(result.err, HasSubstr("--usb-id VID:PID, or in " + work_.File("Isp.ini") + ":\n  [Usb]\n  Ids="));
  EXPECT_TRUE(camera_->Requests().empty());

  std::ofstream(work_.Path() / "Isp.ini", std::ios::app) << "\n[Usb]\nIds=1234:2860,12:xyz\n";
  result = Run({"burn"});
  EXPECT_EQ(result.status, 2);
  EXPECT_THAT(result.err, HasSubstr("\"12:xyz\" is not a hexadecimal VID:PID"));
  // The option replaces the list, a bad one included.
  EXPECT_EQ(Usb({"versions"}).status, 0);
}

// A fault of the camera or of the bus, the command that meets it, and how the
// run ends.
struct FaultCase {
  const char* name;
  std::function<void(UsbTestbed&, EmulatedCamera&)> arrange;
  std::vector<std::string> lastLines;
  bool asNobody = false;
};

TEST_F(UsbCliTest, EachFaultEndsTheBurnWithItsLineAndNoHang) {
  const auto plugged = [](auto fault) {
    return [fault](UsbTestbed&, EmulatedCamera& camera) {
      fault(camera.Fault());
      camera.Plug();
    };
  };
  const std::vector<FaultCase> cases = {
      {"no camera", [](UsbTestbed&, EmulatedCamera&) {}, {"USB Connection Error !!!"}},
      {"interface claimed by another program", plugged([](auto& f) { f.claimedElsewhere = true; }),
       {"USB Connection Error !!!"}},
      {"no bulk endpoints", plugged([](auto& f) { f.noBulkEndpoints = true; }), {"USB Connection Error !!!"}},
      {"stage query stalled", plugged([](auto& f) { f.stallRequest = 0x70; }), {"USB Connection Error !!!"}},
      {"short bulk write", plugged([](auto& f) { f.shortWrite = 1; }),
       {"Download param.txt ...", "  Begin ... 0x1000(0x223)", "  Fail!"}},
      {"unplugged during the firmware", plugged([](auto& f) { f.unplugOnWrite = 3; }),
       {"  Write File Prepare...", "  Write File....", "  Fail!"}},
      {"permission denied",
       [](UsbTestbed& testbed, EmulatedCamera& camera) {
         camera.Plug();
         testbed.OpenToAll();
         camera.DenyAccess();
       },
       {"USB Connection Error !!!"},
       true},
  };
  for (const FaultCase& fault : cases) {
    SCOPED_TRACE(fault.name);
    camera_.reset();
    testbed_.reset();
    testbed_ = std::make_unique<UsbTestbed>();
    camera_ = std::make_unique<EmulatedCamera>(*testbed_);
    sim::SetUpFreshCamera(camera_->Model(), false);
    fault.arrange(*testbed_, *camera_);
    CliRunOptions options;
    options.asNobody = fault.asNobody;
    const CliResult result = Usb({"burn"}, options);
    ASSERT_FALSE(result.hung);
    EXPECT_EQ(result.status, 1);
    ASSERT_GE(result.out.size(), fault.lastLines.size());
    EXPECT_EQ(std::vector<std::string>(result.out.end() - static_cast<std::ptrdiff_t>(fault.lastLines.size()),
                                       result.out.end()),
              fault.lastLines);
    EXPECT_EQ(camera_->Model().storageWrites, 0);
    const std::string udevHint = "no permission to open the camera at " + camera_->InterfacePath();
    if (fault.asNobody) {
      EXPECT_THAT(result.err, HasSubstr(udevHint + ". A udev rule gives it:\n  burnbench-cli udev-rule |"));
    } else {
      EXPECT_THAT(result.err, Not(HasSubstr("udev rule")));
    }
  }
}

// A run holds its camera from its first request to its end, with one claim
// before the camera's restart and one after: another program that tries the
// camera meanwhile (devices, a second run) is refused and sends it nothing,
// and the burn goes on untouched. A run that finds its camera held ends at
// once with a line that says so.
TEST_F(UsbCliTest, ARunHoldsItsCameraAndAHeldCameraIsLeftAlone) {
  camera_->SetSerial(u"CAM-7");
  camera_->Plug();
  const std::string listedAt = camera_->InterfacePath();
  TempFolder other;
  CliResult devices;
  CliResult versions;
  CliRunOptions options;
  options.beforeFirstService = [&] {
    // Another program beside this one: its own socket for device events.
    CliRunOptions beside;
    beside.extraOpenFiles = 8;
    const std::vector<std::string> common{"--usb-id", "1234:2860", "--virtual-clock", "--ini", work_.File("Isp.ini")};
    for (auto [command, result] : {std::pair{"devices", &devices}, std::pair{"versions", &versions}}) {
      std::vector<std::string> arguments = common;
      arguments.push_back(command);
      *result = RunCli(arguments, {}, other, beside);
    }
  };
  const CliResult burn = Usb({"burn", "--verify"}, options);
  ASSERT_FALSE(burn.hung);
  EXPECT_EQ(burn.status, 0) << burn.err;
  EXPECT_EQ(burn.out, Simulated({"burn", "--verify"}).out);
  EXPECT_EQ(camera_->Claims(), 2);
  EXPECT_GE(camera_->RefusedClaims(), 2);
  EXPECT_EQ(EmulatedIntake(), ReferenceIntake(work_.Text(), false, [this](TestHost& host) {
              ReadSettings(host.profile, work_.File("Isp.ini"), host.context.settings);
              host.controls.SetChecked(kSilentModeCheck, true);
              host.controls.SetChecked(kReadVerifyCheck, true);
              host.bench.burn.StartBurn();
              host.Pump();
            }));

  const std::string heldLine = "burnbench-cli: the camera at 1-2 is held by another program\n";
  EXPECT_EQ(devices.status, 0) << devices.err;
  EXPECT_THAT(devices.out, ElementsAre("1-2\t" + listedAt + "\tin use\tCAM-7"));
  EXPECT_EQ(versions.status, 1);
  EXPECT_THAT(versions.err, HasSubstr(heldLine));

  // Held by another program from the start: nothing waits for it.
  camera_.reset();
  testbed_.reset();
  testbed_ = std::make_unique<UsbTestbed>();
  camera_ = std::make_unique<EmulatedCamera>(*testbed_);
  camera_->Fault().claimedElsewhere = true;
  camera_->Plug();
  const CliResult held = Usb({"burn"});
  ASSERT_FALSE(held.hung);
  EXPECT_EQ(held.status, 1);
  EXPECT_THAT(held.out, ElementsAre("USB Connection Error !!!"));
  EXPECT_THAT(held.err, HasSubstr(heldLine));
  EXPECT_TRUE(camera_->Requests().empty());

  // With --all it is one failed camera beside the others, its line on its
  // own channel through the terminal.
  EmulatedCamera free(*testbed_, "1-3");
  sim::SetUpFreshCamera(free.Model(), false);
  free.Plug();
  const CliResult all = RunCli({"--usb-id", "1234:2860", "--virtual-clock", "--ini", work_.File("Isp.ini"), "burn",
                                "--all"},
                               {camera_.get(), &free}, work_);
  ASSERT_FALSE(all.hung);
  EXPECT_EQ(all.status, 1);
  EXPECT_THAT(all.err, HasSubstr("[1-2] " + heldLine));
  EXPECT_THAT(all.out, ::testing::Contains("[1-3] ISP Write File OK !!!"));
  EXPECT_EQ(free.Model().storageWrites, 1);
}

// Two cameras through libusb, each known by its port chain. A burn of the one
// enumerated first stays on it while it restarts, although the other is then
// the last on the bus; --all burns both at once, each only its own.
TEST_F(UsbCliTest, TwoCamerasAreKeptApartByTheirPorts) {
  EmulatedCamera second(*testbed_, "1-3");
  sim::SetUpFreshCamera(second.Model(), false);
  camera_->SetSerial(u"CAM-\u00e9\u0001");
  camera_->Plug();
  second.Plug();

  const CliResult devices = RunCli({"--usb-id", "1234:2860", "--ini", work_.File("Isp.ini"), "devices"},
                                   {camera_.get(), &second}, work_);
  EXPECT_EQ(devices.status, 0) << devices.err;
  EXPECT_THAT(devices.out, ElementsAre("1-2\t" + camera_->InterfacePath() + "\t0\tCAM-\xc3\xa9\\x01",
                                       "1-3\t" + second.InterfacePath() + "\t0\t-"));
  const std::size_t listed = second.Requests().size();

  const std::vector<std::string> common{"--usb-id", "1234:2860", "--virtual-clock", "--ini",
                                        work_.File("Isp.ini")};
  auto withCommon = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), common.begin(), common.end());
    return arguments;
  };
  const std::string report = work_.File("runs.jsonl");
  const std::string firstPath = camera_->InterfacePath();
  const CliResult one = RunCli(withCommon({"--device", "1-2", "--report", report, "burn", "--verify"}),
                               {camera_.get(), &second}, work_);
  ASSERT_FALSE(one.hung);
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out.back(), "Read Verify Success !!!");
  EXPECT_THAT(ReportText(), HasSubstr("\"location\":\"1-2\",\"interface\":\"" + firstPath +
                                      "\",\"serial\":\"CAM-\xc3\xa9\\u0001\","));
  EXPECT_EQ(camera_->Reenumerations(), 1);
  EXPECT_EQ(camera_->Model().storageWrites, 1);
  EXPECT_EQ(second.Requests().size(), listed);
  EXPECT_TRUE(second.BulkOutSizes().empty());

  const std::string secondPath = second.InterfacePath();
  const CliResult all = RunCli(withCommon({"burn", "--all", "--report", report}), {camera_.get(), &second}, work_);
  ASSERT_FALSE(all.hung);
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_THAT(ReportText(),
              HasSubstr("\"location\":\"1-3\",\"interface\":\"" + secondPath + "\",\"serial\":null,"));
  EXPECT_EQ(camera_->Model().storageWrites, 2);
  EXPECT_EQ(second.Model().storageWrites, 1);
  for (const char* prefix : {"[1-2] ", "[1-3] "}) {
    EXPECT_THAT(all.out, ::testing::Contains(std::string(prefix) + "ISP Write File OK !!!"));
  }
}

// The read watchdog guards a bulk read that never completes: its box, then
// the read fails with 23 and the run ends. Its recording holds the cancel that
// the watchdog's thread made on the real clock; the replay, with no camera
// and no real wait, meets the watchdog at the same point.
TEST_F(UsbCliTest, AStalledBulkReadEndsWithTheWatchdogsBox) {
  camera_->Model().stage = 3;
  camera_->Fault().stallRead = 1;
  camera_->Plug();
  const CliResult result = Usb({"--record", work_.File("stalled.bbrec"), "read", MakeFolder("out"), "--yes"});
  ASSERT_FALSE(result.hung);
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.err, HasSubstr("Error 27\nBulk READFILE Time Out error."));
  ASSERT_GE(result.out.size(), 2u);
  EXPECT_EQ(result.out[result.out.size() - 2], "  Fail!");

  const CliResult replay = RunCli({"--ini", work_.File("Isp.ini"), "replay", work_.File("stalled.bbrec"),
                                   MakeFolder("again")}, {}, work_);
  EXPECT_EQ(replay.status, 1) << replay.err;
  EXPECT_EQ(replay.out, result.out);
  EXPECT_THAT(replay.err, HasSubstr("Error 27\nBulk READFILE Time Out error."));
  EXPECT_THAT(replay.err, Not(HasSubstr("burnbench-cli:")));
}

// Only the simulated camera lets time pass on the virtual clock: the wait for
// any other camera counts real time, so that --wait ends it.
TEST_F(UsbCliTest, WithTheVirtualClockTheWaitForACameraThatNeverReturnsRunsOutInRealTime) {
  camera_->Fault().neverReturns = true;
  camera_->Plug();
  CliRunOptions options;
  options.deadline = std::chrono::seconds(30);
  const auto began = std::chrono::steady_clock::now();
  const CliResult result = Usb({"--wait", "1", "burn"}, options);
  ASSERT_FALSE(result.hung);
  EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.err, HasSubstr("burnbench-cli: the camera did not come back within 1 seconds; "
                                    "the wait ends as Esc ends it"));
  EXPECT_EQ(camera_->Reenumerations(), 0);
  EXPECT_EQ(camera_->Model().storageWrites, 0);
}

// A recording made through libusb replays anywhere: the same log, the same
// files, from the recording alone.
TEST_F(UsbCliTest, ARecordedReadBackReplaysWithoutTheCamera) {
  camera_->Plug();
  const CliResult usb = Usb({"--record", work_.File("read.bbrec"), "read", MakeFolder("usb"), "--yes"});
  ASSERT_FALSE(usb.hung);
  ASSERT_EQ(usb.status, 0) << usb.err;
  const int requests = static_cast<int>(camera_->Requests().size());

  const CliResult replay = RunCli({"--ini", work_.File("Isp.ini"), "replay", work_.File("read.bbrec"),
                                   MakeFolder("again")}, {}, work_);
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(replay.out, usb.out);
  for (const char* file : {"firmware.bin", "A/logo.txt", "A/palette.bin", "B/menu.txt", "B/font.bin"}) {
    EXPECT_EQ(work_.Read(std::string("again/") + file), work_.Read(std::string("usb/") + file)) << file;
  }
  EXPECT_EQ(static_cast<int>(camera_->Requests().size()), requests);
}

}  // namespace
}  // namespace bb::test
