// An open set of interfaces lists the cameras as they were when it was
// opened: a camera of another session that leaves meanwhile moves no index,
// so a session never reads one camera's location and another's path.
#include <gtest/gtest.h>

#include <string>

#include "sim/sim_bus.h"

namespace bb {
namespace {

TEST(SimEnumerationTest, AnOpenSetKeepsTheCamerasItListedWhileOneLeaves) {
  sim::SimBus bus;
  for (const char* path : {"cam-a", "cam-b", "cam-c"}) bus.Attach(path);
  const auto set = bus.OpenInterfaceSet(CameraInterfaceClass);
  bus.Unplug(0);

  std::string path;
  std::string location;
  ASSERT_TRUE(bus.ReadInterfacePath(set, 1, path));
  ASSERT_TRUE(bus.ReadInterfaceLocation(set, 1, location));
  EXPECT_EQ(path, "cam-b");
  EXPECT_EQ(location, "2");
  EXPECT_EQ(bus.EnumerateInterface(set, 2), DeviceTransport::EnumResult::kFound);
  EXPECT_EQ(bus.EnumerateInterface(set, 3), DeviceTransport::EnumResult::kNoMoreItems);
  bus.CloseInterfaceSet(set);

  // A set opened now no longer lists the camera that left.
  const auto now = bus.OpenInterfaceSet(CameraInterfaceClass);
  ASSERT_TRUE(bus.ReadInterfacePath(now, 0, path));
  EXPECT_EQ(path, "cam-b");
  EXPECT_EQ(bus.EnumerateInterface(now, 2), DeviceTransport::EnumResult::kNoMoreItems);
  bus.CloseInterfaceSet(now);
}

// A camera swapped for another at the same port while a set is open: the
// set tells the path and the serial number of the camera it listed, never one
// camera's path with the other's serial.
TEST(SimEnumerationTest, AnOpenSetTellsTheSerialOfTheCameraItListed) {
  sim::SimBus bus;
  bus.AddEmptyPort();
  ASSERT_TRUE(bus.PlugIn(0, "FIRST"));
  const std::string firstPath = bus.InterfacePath(0);
  const auto set = bus.OpenInterfaceSet(CameraInterfaceClass);
  ASSERT_TRUE(bus.Unplug(0));
  ASSERT_TRUE(bus.PlugIn(0, "SECOND"));

  std::string path;
  std::string serial;
  ASSERT_TRUE(bus.ReadInterfacePath(set, 0, path));
  ASSERT_TRUE(bus.ReadInterfaceSerial(set, 0, serial));
  EXPECT_EQ(path, firstPath);
  EXPECT_EQ(serial, "FIRST");
  bus.CloseInterfaceSet(set);
}

}  // namespace
}  // namespace bb
