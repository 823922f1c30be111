#include "device/usb_pipes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/sim_bus.h"

namespace bb {
namespace {

using ::testing::ElementsAre;

constexpr char kCam1[] = "\\\\?\\usb#cam1";
constexpr char kCam2[] = "\\\\?\\usb#cam2";

TEST(UsbPipesTest, ConstructorNamesTheFourSlotsAndLeavesThePathEmpty) {
  sim::SimBus bus;
  UsbPipes pipes(bus);
  EXPECT_THAT(pipes.PipeNames(), ElementsAre("PIPE00", "PIPE00", "PIPE01", "PIPE02"));
  EXPECT_EQ(pipes.DevicePath(), "");
}

TEST(UsbPipesTest, WithoutCameraNothingIsOpened) {
  sim::SimBus bus;
  UsbPipes pipes(bus);
  EXPECT_EQ(pipes.OpenPipe(UsbPipes::kBulkOutSlot), DeviceTransport::kInvalidHandle);
  EXPECT_THAT(bus.TranscriptLines(), ElementsAre("enumerate"));
}

TEST(UsbPipesTest, OpensThePipeBehindAPresenceTest) {
  sim::SimBus bus;
  bus.Attach(kCam1);
  UsbPipes pipes(bus);
  const DeviceTransport::Handle pipe = pipes.OpenPipe(UsbPipes::kBulkOutSlot);
  ASSERT_NE(pipe, DeviceTransport::kInvalidHandle);
  EXPECT_EQ(pipes.DevicePath(), std::string(kCam1) + "\\PIPE01");
  EXPECT_THAT(bus.TranscriptLines(),
              ElementsAre("enumerate", std::string("open ") + kCam1, std::string("close ") + kCam1,
                          std::string("open ") + kCam1 + "\\PIPE01"));
  bus.Close(pipe);
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

TEST(UsbPipesTest, TheCameraEnumeratedLastIsUsedAndTheEarlierHandleClosedFirst) {
  sim::SimBus bus;
  bus.Attach(kCam1);
  bus.Attach(kCam2);
  UsbPipes pipes(bus);
  const DeviceTransport::Handle pipe = pipes.OpenPipe(UsbPipes::kRequestSlot);
  ASSERT_NE(pipe, DeviceTransport::kInvalidHandle);
  EXPECT_THAT(bus.TranscriptLines(),
              ElementsAre("enumerate", std::string("open ") + kCam1, std::string("close ") + kCam1,
                          std::string("open ") + kCam2, std::string("close ") + kCam2,
                          std::string("open ") + kCam2 + "\\PIPE00"));
  bus.Close(pipe);
}

TEST(UsbPipesTest, AnUnusableLastInterfaceDecidesEvenWhenAnEarlierOneOpened) {
  for (const bool heldElsewhere : {true, false}) {
    sim::SimBus bus;
    bus.Attach(kCam1);
    bus.Attach(kCam2);
    if (heldElsewhere) {
      bus.SetHeldByOtherProgram(1, true);
    } else {
      bus.SetDetailUnreadable(1, true);
    }
    UsbPipes pipes(bus);
    EXPECT_EQ(pipes.OpenPipe(UsbPipes::kRequestSlot), DeviceTransport::kInvalidHandle);
    EXPECT_EQ(bus.OpenHandles(), 0u) << "the first camera's presence handle leaked";
    for (const std::string& line : bus.TranscriptLines()) {
      EXPECT_EQ(line.find("PIPE"), std::string::npos) << line;
    }
  }
}

TEST(UsbPipesTest, EnumerationErrorsOtherThanTheEndAreSkipped) {
  sim::SimBus bus;
  bus.FailEnumerationAt(0);
  bus.Attach(kCam1);
  bus.FailEnumerationAt(2);
  UsbPipes pipes(bus);
  const DeviceTransport::Handle pipe = pipes.OpenPipe(UsbPipes::kRequestSlot);
  EXPECT_NE(pipe, DeviceTransport::kInvalidHandle);
  EXPECT_EQ(pipes.DevicePath(), std::string(kCam1) + "\\PIPE00");
  bus.Close(pipe);
}

TEST(UsbPipesTest, NoInterfaceSetMeansNoCamera) {
  sim::SimBus bus;
  bus.Attach(kCam1);
  bus.FailInterfaceSet(true);
  UsbPipes pipes(bus);
  EXPECT_EQ(pipes.OpenPipe(UsbPipes::kRequestSlot), DeviceTransport::kInvalidHandle);
  EXPECT_THAT(bus.TranscriptLines(), ElementsAre("enumerate"));
}

TEST(UsbPipesTest, AReEnumeratedCameraIsFoundUnderItsNewPath) {
  sim::SimBus bus;
  bus.Attach(kCam1);
  UsbPipes pipes(bus);
  bus.Close(pipes.OpenPipe(UsbPipes::kRequestSlot));
  bus.DetachAll();
  bus.Attach(kCam2);
  bus.Close(pipes.OpenPipe(UsbPipes::kBulkOutSlot));
  // The second search starts afresh: the first pipe name is gone.
  EXPECT_EQ(pipes.DevicePath(), std::string(kCam2) + "\\PIPE01");
}

TEST(UsbPipesTest, AnInterfacePathWithoutRoomForThePipeNameIsNotUsed) {
  sim::SimBus bus;
  bus.Attach(std::string(249, 'p'));
  UsbPipes pipes(bus);
  EXPECT_EQ(pipes.OpenPipe(UsbPipes::kRequestSlot), DeviceTransport::kInvalidHandle);
  EXPECT_EQ(bus.OpenHandles(), 0u);

  sim::SimBus roomy;
  roomy.Attach(std::string(248, 'p'));
  UsbPipes fits(roomy);
  const DeviceTransport::Handle pipe = fits.OpenPipe(UsbPipes::kRequestSlot);
  EXPECT_NE(pipe, DeviceTransport::kInvalidHandle);
  EXPECT_EQ(fits.DevicePath().size(), 255u);
  roomy.Close(pipe);
}

TEST(UsbPipesTest, AFailingPipeOpenAfterTheInterfaceOpenedGivesNoHandle) {
  sim::SimBus bus;
  bus.Attach(kCam1);
  bus.FailPipeOpen("PIPE01");
  UsbPipes pipes(bus);
  EXPECT_EQ(pipes.OpenPipe(UsbPipes::kBulkOutSlot), DeviceTransport::kInvalidHandle);
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

}  // namespace
}  // namespace bb
