#include "device/camera_binding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "device/camera_survey.h"
#include "device/command_table.h"
#include "device/primitives.h"
#include "device/status_codes.h"
#include "support/device_rig.h"

namespace bb {
namespace {

constexpr char kCamA[] = "\\\\?\\usb#camA";
constexpr char kCamB[] = "\\\\?\\usb#camB";
constexpr char kCamC[] = "\\\\?\\usb#camC";

// Two cameras, A at port 1 and B at port 2, so that B is enumerated last.
struct CameraBindingTest : ::testing::Test, test::DeviceRig {
  CameraBindingTest() {
    bus.Attach(kCamA);
    bus.Attach(kCamB);
  }

  int StageQuery() {
    std::array<std::uint8_t, 5> reply{};
    constexpr Command query = CommandTable::StageQuery;
    return link.VendorIn(query.bRequest, query.wValue, query.wIndex, query.wLength, reply);
  }

  // How many requests went through the camera's request pipe.
  long RequestsTo(const std::string& path) const {
    const std::vector<std::string> lines = bus.TranscriptLines();
    return std::count(lines.begin(), lines.end(), "open " + path + "\\PIPE00");
  }

  CameraBinding& binding() { return link.Binding(); }
};

TEST_F(CameraBindingTest, ARunKeepsToTheCameraItFoundFirstAndSeesNoneOnceItIsGone) {
  binding().BeginRun();
  ASSERT_EQ(StageQuery(), kOk);
  EXPECT_EQ(binding().RunLocation(), "2");
  EXPECT_EQ(binding().RunPath(), kCamB);

  // A camera plugged in now is enumerated last, yet the run stays on B.
  bus.PlugIn(kCamC);
  ASSERT_EQ(StageQuery(), kOk);
  EXPECT_EQ(RequestsTo(kCamB), 2);
  EXPECT_EQ(RequestsTo(kCamC), 0);
  // Only B's own interface is its arrival; Windows may name it in capitals.
  EXPECT_TRUE(link.IsBoundCamera("\\\\?\\USB#CAMB"));
  EXPECT_FALSE(link.IsBoundCamera(kCamC));
  EXPECT_TRUE(link.IsBoundCamera(""));

  // B gone: the run sees no camera, although two others are there.
  bus.Unplug(1);
  EXPECT_FALSE(link.IsBoundCamera(""));
  EXPECT_FALSE(link.IsBoundCamera(kCamB));
  EXPECT_EQ(StageQuery(), kRequestFailed);
  std::array<std::uint8_t, 1> busy{};
  constexpr Command busyQuery = CommandTable::BusyQuery;
  EXPECT_EQ(ControlIn(*link.NewPipes(), busyQuery.bRequest, busyQuery.wValue, busyQuery.wIndex,
                      busyQuery.wLength, busy),
            kNoPipe);
  EXPECT_EQ(RequestsTo(kCamA) + RequestsTo(kCamC), 0);

  // The next run finds the camera enumerated last, as any run does.
  binding().EndRun();
  binding().BeginRun();
  ASSERT_EQ(StageQuery(), kOk);
  EXPECT_EQ(binding().RunLocation(), "3");
  EXPECT_EQ(RequestsTo(kCamC), 1);
}

TEST_F(CameraBindingTest, APinnedSessionServesOnlyItsLocationInAndOutOfRuns) {
  binding().Pin("1");
  ASSERT_EQ(StageQuery(), kOk);
  binding().BeginRun();
  ASSERT_EQ(StageQuery(), kOk);
  EXPECT_EQ(binding().RunLocation(), "1");
  binding().EndRun();
  ASSERT_EQ(StageQuery(), kOk);
  EXPECT_EQ(RequestsTo(kCamA), 3);
  EXPECT_EQ(RequestsTo(kCamB), 0);

  binding().Pin("7");
  EXPECT_FALSE(link.IsBoundCamera(""));
  EXPECT_EQ(StageQuery(), kRequestFailed);
}

TEST_F(CameraBindingTest, WithoutLocationsEverySearchTakesTheLastInterfaceAsBefore) {
  bus.HideLocations(true);
  binding().BeginRun();
  ASSERT_EQ(StageQuery(), kOk);
  EXPECT_EQ(binding().RunLocation(), "");
  bus.PlugIn(kCamC);
  ASSERT_EQ(StageQuery(), kOk);
  EXPECT_EQ(RequestsTo(kCamB), 1);
  EXPECT_EQ(RequestsTo(kCamC), 1);
}

// Two sessions bound to one location would share whichever camera each found
// there: --all refuses a list in which a location repeats, and names it.
TEST(CameraSurveyTest, ALocationThatSeveralCamerasReportIsNamed) {
  const auto at = [](std::vector<std::string> locations) {
    std::vector<AttachedCamera> cameras;
    for (std::string& location : locations) cameras.push_back(AttachedCamera{std::move(location), "path", ""});
    return RepeatedLocation(cameras);
  };
  EXPECT_EQ(at({}), std::nullopt);
  EXPECT_EQ(at({"1", "2", "3"}), std::nullopt);
  EXPECT_EQ(at({"", ""}), std::nullopt);  // unknown locations are refused on their own
  EXPECT_EQ(at({"Port_#0001.Hub_#0003", "1-2", "Port_#0001.Hub_#0003"}), "Port_#0001.Hub_#0003");
  EXPECT_EQ(at({"1", "2", "2", "1"}), "1");
}

}  // namespace
}  // namespace bb
