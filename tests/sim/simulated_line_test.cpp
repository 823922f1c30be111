// A line of simulated cameras: an operator plugs them into ports one after
// another, while sessions on other threads burn the cameras at other ports.
// Each camera is its own: its faults, its calls and its model go with it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/camera_survey.h"
#include "sim/named_fault.h"
#include "sim/sim_bus.h"
#include "simulated_line.h"
#include "support/camera_session.h"
#include "util/format.h"

namespace bb {
namespace {

using ::testing::ElementsAre;

cli::FaultChoice Aimed(const std::string& name, const std::string& fault) {
  return cli::FaultChoice{name, {}, *sim::ParseNamedFault(fault)};
}

// The serial number listed at `location`; nullopt when no camera is there.
std::optional<std::string> SerialAt(DeviceTransport& transport, const std::string& location) {
  for (const AttachedCamera& camera : ListCameras(transport)) {
    if (camera.location == location) return camera.serial;
  }
  return std::nullopt;
}

// Port 1 takes ten cameras in turn, each burned and unplugged; the fourth and
// the eighth have faults that fire, the fourth one more that its run never
// reaches, and the sixth a fault but no run, being pulled out at once. Port 2
// meanwhile burns camera after camera, each restarting and powering down
// after its burn; a third thread keeps listing the cameras.
TEST(SimulatedLineTest, CamerasComeAndGoAtOnePortWhileAnotherPortBurnsItsOwn) {
  std::mutex toldMutex;
  std::vector<std::string> told;
  cli::SimulatedLineWorld world(2, [&](const std::string& line) {
    const std::lock_guard lock(toldMutex);
    told.push_back(line);
  });
  ASSERT_THAT(world.Locations(), ElementsAre("1", "2"));
  test::CameraSession first(world.Connect({}, {}), "1", 1);
  test::CameraSession second(world.Connect({}, {}), "2", 2);
  std::atomic<bool> lineDone{false};

  std::thread other([&] {
    const std::unique_ptr<CameraLink> watcher = world.Connect({}, {});
    for (int j = 1; j <= 2 || !lineDone; ++j) {
      const std::string serial = Format("P2-%03d", j);
      std::string error;
      ASSERT_TRUE(world.PlugIn("2", serial, {}, error)) << error;
      second.Burn();
      EXPECT_TRUE(second.record.succeeded) << serial;
      EXPECT_EQ(second.record.serial, serial);
      // Restarted after its burn, it is back once a link goes idle (any
      // link's: the first session's may bring it back first).
      EXPECT_TRUE(world.Restart("2"));
      watcher->Idle();
      EXPECT_EQ(SerialAt(watcher->Transport(), "2"), serial);
      EXPECT_TRUE(world.PowerDown("2"));
      EXPECT_EQ(SerialAt(watcher->Transport(), "2"), std::nullopt);
      EXPECT_TRUE(world.PowerUp("2"));
      EXPECT_EQ(SerialAt(watcher->Transport(), "2"), serial);
      EXPECT_TRUE(world.Unplug("2"));
    }
  });
  std::atomic<int> listings{0};
  std::thread lister([&] {
    const std::unique_ptr<CameraLink> link = world.Connect({}, {});
    while (!lineDone) {
      const std::vector<AttachedCamera> cameras = ListCameras(link->Transport());
      EXPECT_LE(cameras.size(), 2u);
      for (const AttachedCamera& camera : cameras) {
        EXPECT_EQ(camera.serial.substr(0, 3), "P" + camera.location + "-") << camera.path;
      }
      ++listings;
    }
  });

  for (int k = 1; k <= 10; ++k) {
    SCOPED_TRACE(k);
    const std::string serial = Format("P1-%03d", k);
    std::vector<cli::FaultChoice> faults;
    if (k == 4) faults = {Aimed("#4:busy", "busy"), Aimed("#4:request:0x11:1", "request:0x11:1")};
    if (k == 6) faults = {Aimed("#6:read-fails:1", "read-fails:1")};
    if (k == 8) faults = {Aimed("#8:verify-mismatch", "verify-mismatch")};
    std::string error;
    ASSERT_TRUE(world.PlugIn("1", serial, faults, error)) << error;
    EXPECT_FALSE(world.PlugIn("1", "P1-extra", {}, error));
    EXPECT_EQ(error, "the port at 1 holds a camera");
    if (k != 6) {
      first.Burn();
      EXPECT_EQ(first.record.serial, serial);
      EXPECT_EQ(first.record.succeeded, k != 4 && k != 8);
      const std::string expectedEnd = k == 4 ? "ISP Busy!" : k == 8 ? "Verify Fail !!!" : "Read Verify Success !!!";
      EXPECT_EQ(first.console.log.back(), expectedEnd);
    }
    EXPECT_TRUE(world.Unplug("1"));
    EXPECT_FALSE(world.Unplug("1"));
    // This camera's model is freed: only port 2's may live.
    EXPECT_LE(world.LiveCameras(), 1u);
  }
  lineDone = true;
  other.join();
  lister.join();

  EXPECT_GT(listings, 0);
  EXPECT_EQ(world.LiveCameras(), 0u);
  EXPECT_THAT(world.FiredFaults(), ElementsAre("#4:busy", "#8:verify-mismatch"));
  EXPECT_THAT(told, ElementsAre("fault fired: #4:busy", "fault fired: #8:verify-mismatch"));
}

TEST(SimulatedLineTest, APlugInThatCannotBeIsRefusedWithItsReason) {
  cli::SimulatedLineWorld world(1, {});
  std::string error;
  EXPECT_FALSE(world.PlugIn("2", "S", {}, error));
  EXPECT_EQ(error, "no port at 2");
  EXPECT_FALSE(world.PlugIn("1", "S", {Aimed("1:absent", "absent")}, error));
  EXPECT_EQ(error, "a camera plugged in cannot be absent: 1:absent");
  EXPECT_EQ(world.LiveCameras(), 0u);
  EXPECT_FALSE(world.Unplug("1"));
  EXPECT_FALSE(world.PowerDown("1"));
  EXPECT_FALSE(world.PowerUp("1"));
  EXPECT_FALSE(world.Restart("1"));
}

class SimulatedLineBusTest : public ::testing::Test {
 protected:
  SimulatedLineBusTest() { bus.AddEmptyPort(); }

  DeviceTransport::Handle OpenPipe(const char* pipe) { return bus.Open(bus.InterfacePath(0) + "\\" + pipe); }

  sim::SimBus bus;
  std::array<std::uint8_t, 4> data{1, 2, 3, 4};
  std::uint32_t done = 0;
};

// A handle to a camera that was unplugged reaches nothing: not the camera
// plugged in after it, and not that camera's faults, whose counts are its own.
TEST_F(SimulatedLineBusTest, AnUnpluggedCamerasHandleReachesNeitherTheNextCameraNorItsFaults) {
  bus.KeepTranscript(false);
  ASSERT_TRUE(bus.PlugIn(0, "A"));
  const std::weak_ptr<const sim::SimCamera> cameraA = bus.CameraModel(0);
  const std::string pathA = bus.InterfacePath(0);
  const DeviceTransport::Handle stale = OpenPipe("PIPE01");
  ASSERT_NE(stale, DeviceTransport::kInvalidHandle);
  ASSERT_TRUE(bus.Write(stale, data, done));
  ASSERT_TRUE(bus.Unplug(0));
  EXPECT_TRUE(cameraA.expired());
  EXPECT_EQ(bus.LiveCameras(), 0u);

  sim::SimBus::FaultId fault = sim::SimBus::kNoFault;
  ASSERT_TRUE(bus.PlugIn(0, "B", [&] { fault = sim::InjectNamedFault(bus, 0, *sim::ParseNamedFault("write-fails:1")); }));
  EXPECT_NE(bus.InterfacePath(0), pathA);
  EXPECT_EQ(bus.Open(pathA + "\\PIPE01"), DeviceTransport::kInvalidHandle);
  EXPECT_FALSE(bus.Write(stale, data, done));
  EXPECT_FALSE(bus.Fired(fault));
  EXPECT_EQ(bus.Camera(0).bulkBytesReceived, 0u);

  const DeviceTransport::Handle own = OpenPipe("PIPE01");
  EXPECT_FALSE(bus.Write(own, data, done));
  EXPECT_TRUE(bus.Fired(fault));
  EXPECT_TRUE(bus.Write(own, data, done));
  EXPECT_EQ(bus.Camera(0).bulkBytesReceived, 4u);
  EXPECT_TRUE(bus.Transcript().empty()) << "no transcript was asked for";
  bus.Close(own);
  bus.Close(stale);
}

// A fault aimed at a camera that never fired goes with it: the next camera
// at the port comes back from its restart, and a third does not hear of the
// second's refusal to take a write.
TEST_F(SimulatedLineBusTest, FaultsThatDidNotFireGoWithTheirCamera) {
  const auto plugInWith = [&](const char* fault) {
    sim::SimBus::FaultId id = sim::SimBus::kNoFault;
    EXPECT_TRUE(bus.PlugIn(0, std::nullopt, [&] { id = sim::InjectNamedFault(bus, 0, *sim::ParseNamedFault(fault)); }));
    return id;
  };
  const sim::SimBus::FaultId neverReturns = plugInWith("never-returns");
  ASSERT_TRUE(bus.Unplug(0));
  ASSERT_TRUE(bus.PlugIn(0, std::nullopt));
  ASSERT_TRUE(bus.Restart(0));
  EXPECT_TRUE(bus.ReturnCameras());
  EXPECT_FALSE(bus.Fired(neverReturns));

  ASSERT_TRUE(bus.Unplug(0));
  const sim::SimBus::FaultId pipeFault = plugInWith("pipe-open:PIPE01:1");
  ASSERT_TRUE(bus.Unplug(0));
  ASSERT_TRUE(bus.PlugIn(0, std::nullopt));
  const DeviceTransport::Handle pipe = OpenPipe("PIPE01");
  EXPECT_NE(pipe, DeviceTransport::kInvalidHandle);
  EXPECT_FALSE(bus.Fired(pipeFault));
  bus.Close(pipe);
}

// A read that stalls while its camera is pulled out or powered down fails,
// as on a real bus; an unplugged camera's model is freed once the read is done.
TEST_F(SimulatedLineBusTest, AReadStalledWhileItsCameraLeavesFails) {
  enum class Meanwhile { kStays, kUnplugged, kPoweredDown };
  for (const Meanwhile meanwhile : {Meanwhile::kStays, Meanwhile::kUnplugged, Meanwhile::kPoweredDown}) {
    SCOPED_TRACE(static_cast<int>(meanwhile));
    ASSERT_TRUE(bus.PlugIn(0, "A"));
    bus.StallFirstRead(0, 3);
    const DeviceTransport::Handle pipe = OpenPipe("PIPE00");
    int passed = 0;
    const bool read = bus.ReadPassing(pipe, data, done, [&](std::uint32_t) {
      if (++passed != 1) return;
      if (meanwhile == Meanwhile::kUnplugged) bus.Unplug(0);
      if (meanwhile == Meanwhile::kPoweredDown) bus.PowerDown(0);
    });
    EXPECT_EQ(passed, 3);
    EXPECT_EQ(read, meanwhile == Meanwhile::kStays);
    EXPECT_EQ(bus.LiveCameras(), meanwhile == Meanwhile::kUnplugged ? 0u : 1u);
    bus.Close(pipe);
    bus.Unplug(0);
  }
}

// A camera that restarts or powers down is the same camera back: the same
// model, serial number and storage, under a new path, announced; a power
// cycle boots it afresh. A handle from before reaches it no more.
TEST_F(SimulatedLineBusTest, ACameraThatRestartsOrPowersDownComesBackAsItself) {
  std::vector<std::string> arrivals;
  bus.SetArrivalHandler([&](const DeviceArrival& arrival) { arrivals.push_back(arrival.interfacePath); });
  ASSERT_TRUE(bus.PlugIn(0, "SAME"));
  const std::weak_ptr<const sim::SimCamera> model = bus.CameraModel(0);
  EXPECT_EQ(bus.Camera(0).stage, 0) << "fresh";
  ASSERT_EQ(bus.Camera(0).storage.count(0), 1u) << "the sample firmware";
  bus.Camera(0).stage = 3;
  bus.Camera(0).storage[0x40000] = {7, 7};

  ASSERT_TRUE(bus.Restart(0));
  EXPECT_FALSE(bus.Restart(0));
  EXPECT_EQ(SerialAt(bus, "1"), std::nullopt);
  ASSERT_TRUE(bus.ReturnCameras());
  EXPECT_EQ(SerialAt(bus, "1"), "SAME");

  const DeviceTransport::Handle before = OpenPipe("PIPE01");
  ASSERT_TRUE(bus.PowerDown(0));
  EXPECT_EQ(SerialAt(bus, "1"), std::nullopt);
  ASSERT_TRUE(bus.PowerUp(0));
  EXPECT_FALSE(bus.PowerUp(0)) << "it is on the bus";
  EXPECT_EQ(SerialAt(bus, "1"), "SAME");
  EXPECT_FALSE(bus.Write(before, data, done));
  EXPECT_EQ(bus.Camera(0).stage, 0) << "booted afresh";
  EXPECT_EQ(bus.Camera(0).storage.at(0x40000), (std::vector<std::uint8_t>{7, 7}));
  EXPECT_EQ(bus.CameraModel(0).lock(), model.lock());
  ASSERT_EQ(arrivals.size(), 3u);
  EXPECT_NE(arrivals[1], arrivals[0]);
  EXPECT_NE(arrivals[2], arrivals[1]);
  EXPECT_EQ(arrivals[2], bus.InterfacePath(0));
  bus.Close(before);
}

// A session's own handle (its lane) reaches the camera as the bus's calls do,
// and no more once the camera has left; while the bus keeps a transcript or
// has a fault injected, its calls are the bus's own: recorded, and hit by
// the fault.
TEST_F(SimulatedLineBusTest, ASessionsOwnHandleReachesWhatTheBussCallsReach) {
  bus.KeepTranscript(false);
  ASSERT_TRUE(bus.PlugIn(0, "A"));
  const DeviceTransport::Handle out = OpenPipe("PIPE01");
  const DeviceTransport::Handle in = OpenPipe("PIPE00");
  const std::optional<sim::SimBus::Lane> outLane = bus.LaneOf(out);
  const std::optional<sim::SimBus::Lane> inLane = bus.LaneOf(in);
  ASSERT_TRUE(outLane && inLane);
  EXPECT_FALSE(bus.LaneOf(DeviceTransport::kInvalidHandle));

  EXPECT_TRUE(bus.Write(out, data, done, *outLane));
  EXPECT_EQ(done, 4u);
  EXPECT_FALSE(bus.Write(in, data, done, *inLane)) << "the request pipe takes no bulk data";
  bus.ChangeCameras(0, [](sim::SimCamera& camera) { camera.bulkIn = {9, 8}; });
  std::array<std::uint8_t, 4> read{};
  EXPECT_TRUE(bus.ReadPassing(in, read, done, {}, *inLane));
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(read[0], 9);

  sim::SimBus::FaultId fault = sim::SimBus::kNoFault;
  {
    const sim::SimBus::Aiming aiming(bus, 0);
    fault = bus.FailWrite(1);
  }
  EXPECT_FALSE(bus.Write(out, data, done, *outLane));
  EXPECT_TRUE(bus.Fired(fault));
  bus.ClearFaults();
  bus.KeepTranscript(true);
  EXPECT_TRUE(bus.Write(out, data, done, *outLane));
  EXPECT_THAT(bus.TranscriptLines(), ElementsAre("write 4/4"));
  bus.KeepTranscript(false);
  EXPECT_EQ(bus.Camera(0).bulkBytesReceived, 8u) << "the failed writes were not taken";

  ASSERT_TRUE(bus.Restart(0));
  ASSERT_TRUE(bus.ReturnCameras());
  EXPECT_FALSE(bus.Write(out, data, done, *outLane)) << "a handle from before the restart";
  ASSERT_TRUE(bus.Unplug(0));
  EXPECT_FALSE(bus.Write(out, data, done, *outLane));
  EXPECT_EQ(bus.LiveCameras(), 0u) << "a lane keeps no camera";
  bus.Close(out);
  bus.Close(in);
}

}  // namespace
}  // namespace bb
