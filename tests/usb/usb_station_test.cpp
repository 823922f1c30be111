// A station through libusb: one camera emulated below libusb at a slot, burned
// once however it re-enumerates, and again only after it stood unplugged for
// the slot's UnplugSeconds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim/fresh_camera.h"
#include "usb/cli_run.h"
#include "usb/emulated_camera.h"
#include "usb/usb_testbed.h"

namespace bb::test {
namespace {

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr unsigned kUnplugSeconds = 2;
// The station looks at the bus every 250 ms of its time and reads the serial
// of every camera there at each look. Of the looks that read the stray
// camera's serial after the test did something, the first may have begun
// before; the second began after it and saw the bus as the test left it.
constexpr int kLooksPerSecond = 4;
constexpr int kLooksThatSawIt = 2;
// From that look on, the slot stands as it is for UnplugSeconds, and one more
// look judges it, which has begun any run it was due.
constexpr int kLooksPastTheGrace = kLooksThatSawIt + kLooksPerSecond * static_cast<int>(kUnplugSeconds) + 1;
// Only a safety net: looks take moments of real time.
constexpr std::chrono::seconds kLookLimit{60};

// The fields of a line the station printed for a run that ended.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
    fields.push_back(line.substr(start, tab - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

class UsbStationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UsbTestbed::Available())
        << "the libusb tests emulate cameras with umockdev and must run under umockdev-wrapper";
    for (const char* name : {"Isp.ini", "param.txt", "core.bin", "fw.brn", "files.ini"}) {
      std::filesystem::copy_file(std::filesystem::path(BURNBENCH_EXAMPLES_DIR) / name, work_.Path() / name);
    }
    std::ofstream(work_.Path() / "Isp.ini", std::ios::app)
        << "\n[Usb]\nIds=1234:2860\n[Station]\nName=bench\nSlots=A:1-2\nUnplugSeconds=" << kUnplugSeconds << "\n";
    const CliResult pin = RunCli({"--ini", work_.File("Isp.ini"), "pin"}, {}, work_);
    ASSERT_EQ(pin.status, 0) << pin.err;
    stray_.SetSerial(u"STRAY");
    stray_.Plug();
  }

  CliProcess Station(const std::vector<EmulatedCamera*>& cameras) {
    std::vector<EmulatedCamera*> all = cameras;
    all.push_back(&stray_);
    // Its records would keep a camera that passed from a second burn: these
    // tests are about what a slot starts, so the records are not asked.
    return CliProcess({"--virtual-clock", "--ini", work_.File("Isp.ini"), "station", "--reburn"}, all, work_);
  }

  // Waits for `looks` more looks of the station at the bus.
  bool WaitForLooks(int looks) {
    return stray_.WaitForSerialReads(stray_.SerialReads() + looks, kLookLimit);
  }

  // Ends the shift with Ctrl-C: each of its runs passed at slot A.
  static void EndShiftOfPasses(CliProcess& station, const std::string& serial, std::size_t runs) {
    station.Interrupt();
    const CliResult result = station.Finish();
    ASSERT_FALSE(result.hung);
    EXPECT_EQ(result.status, 0) << result.err;
    ASSERT_EQ(result.out.size(), runs) << result.err;
    for (const std::string& line : result.out) {
      EXPECT_THAT(Fields(line), ElementsAre("A", "1-2", serial, "ok", _, "ISP Write File OK !!!")) << result.err;
    }
    const std::string count = std::to_string(runs);
    EXPECT_THAT(result.err, HasSubstr(count + " runs: " + count + " passed, 0 failed"));
  }

  TempFolder work_;
  UsbTestbed testbed_;
  // At a location that is no slot: the station's looks read its serial, and
  // it is never burned nor claimed.
  EmulatedCamera stray_{testbed_, "1-3"};
};

// The station's time is simulated (--virtual-clock): it passes only while
// every thread of the station waits, so the camera's USB traffic and its
// re-enumeration take none of it, and an empty slot's UnplugSeconds go by in
// a moment of real time. The test tells how much of it passed by the looks
// the station took at the stray camera.
TEST_F(UsbStationTest, ACameraIsBurnedOnceAndAgainOnlyAfterItStoodUnplugged) {
  EmulatedCamera camera(testbed_, "1-2");
  sim::SetUpFreshCamera(camera.Model(), false);
  camera.SetSerial(u"CAM-1");

  CliProcess station = Station({&camera});
  // The slot was empty when the station started (its check that the bus
  // tells locations and its first looks are done): the camera that arrives
  // is burned, through its restart.
  ASSERT_TRUE(WaitForLooks(3));
  camera.Plug();
  ASSERT_TRUE(station.WaitForLines(1));
  EXPECT_EQ(camera.Reenumerations(), 1);
  EXPECT_EQ(camera.Model().storageWrites, 1);
  const std::size_t requests = camera.Requests().size();

  // It stays plugged in, at the address its restart gave it, for longer than
  // the grace: nothing more is sent to it.
  ASSERT_TRUE(WaitForLooks(kLooksPastTheGrace));
  EXPECT_EQ(station.Lines().size(), 1u);
  EXPECT_EQ(camera.Requests().size(), requests);

  // Unplugged for UnplugSeconds of the station's time, it is burned again.
  camera.Unplug();
  ASSERT_TRUE(WaitForLooks(kLooksPastTheGrace));
  camera.Plug();
  ASSERT_TRUE(station.WaitForLines(2));
  EndShiftOfPasses(station, "CAM-1", 2);
  EXPECT_EQ(camera.Model().storageWrites, 2);
  EXPECT_EQ(camera.Reenumerations(), 2);
  EXPECT_TRUE(stray_.Requests().empty());
  EXPECT_EQ(stray_.Claims(), 0);
}

// A camera that arrives held by another program is left alone, and looked at
// again at every look: once the other program lets go, it is burned.
TEST_F(UsbStationTest, ACameraAnotherProgramHoldsIsBurnedOnceItIsLetGo) {
  EmulatedCamera camera(testbed_, "1-2");
  sim::SetUpFreshCamera(camera.Model(), false);
  camera.SetSerial(u"CAM-2");
  camera.Fault().claimedElsewhere = true;

  CliProcess station = Station({&camera});
  ASSERT_TRUE(WaitForLooks(3));
  camera.Plug();
  // Every look from the second on saw the camera and tried it.
  ASSERT_TRUE(WaitForLooks(kLooksThatSawIt + 2));
  EXPECT_GE(camera.RefusedClaims(), 2);
  EXPECT_TRUE(camera.Requests().empty());
  EXPECT_TRUE(station.Lines().empty());

  camera.ReleaseClaimElsewhere();
  ASSERT_TRUE(station.WaitForLines(1));
  EndShiftOfPasses(station, "CAM-2", 1);
  EXPECT_EQ(camera.Model().storageWrites, 1);
}

}  // namespace
}  // namespace bb::test
