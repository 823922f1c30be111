#include <gtest/gtest.h>

#include <vector>

#include "device/isp_message_box.h"
#include "device/status_codes.h"
#include "device/usb_pipes.h"
#include "support/device_rig.h"

namespace bb {
namespace {

class WatchdogTest : public ::testing::Test, protected test::DeviceRig {
 protected:
  // One guarded bulk read, the way the read-back guards each piece.
  bool GuardedRead(std::uint32_t size, std::uint32_t& done) {
    UsbPipes pipes(bus);
    const DeviceTransport::Handle pipe = pipes.OpenPipe(UsbPipes::kRequestSlot);
    std::vector<std::uint8_t> buffer(size);
    link.ArmWatchdog(5000, kReadTimeout);
    const bool ok = bus.Read(pipe, buffer, done);
    link.DisarmWatchdog();
    bus.Close(pipe);
    return ok;
  }
};

TEST_F(WatchdogTest, AReadThatStallsPastTheDelayShowsOneBoxAndItsOwnResultStands) {
  sim::SimCamera& camera = bus.Attach();
  camera.bulkIn.assign(64, 0xAB);
  bus.StallRead(1, 12000);
  std::uint32_t done = 0;
  EXPECT_TRUE(GuardedRead(64, done));
  EXPECT_EQ(done, 64u);
  const std::vector<MessageBoxRequest> boxes = prompts.Boxes();
  ASSERT_EQ(boxes.size(), 1u) << "a periodic timer must fire once per arming";
  EXPECT_EQ(boxes[0].text, "Error 27\nBulk READFILE Time Out error.\n");
  EXPECT_EQ(boxes[0].title, "Corvane ISP");
  EXPECT_EQ(boxes[0].icon, BoxIcon::kError);
  EXPECT_TRUE(boxes[0].ownerless);
  EXPECT_EQ(timers.LiveTimers(), 0u);
  EXPECT_EQ(timers.FineResolutionHeld(), 0);
}

TEST_F(WatchdogTest, AStalledReadThatThenFailsStillFailsByItsOwnResult) {
  bus.Attach();
  bus.StallRead(1, 6000);
  bus.FailRead(1);
  std::uint32_t done = 0;
  EXPECT_FALSE(GuardedRead(64, done));
  EXPECT_EQ(prompts.Boxes().size(), 1u);
}

TEST_F(WatchdogTest, AReadInTimeShowsNothingAndEachReadGetsAFreshTimer) {
  sim::SimCamera& camera = bus.Attach();
  camera.bulkIn.assign(128, 1);
  bus.StallRead(1, 4999);
  std::uint32_t done = 0;
  EXPECT_TRUE(GuardedRead(64, done));
  EXPECT_TRUE(GuardedRead(64, done));
  EXPECT_TRUE(prompts.Boxes().empty());
  EXPECT_EQ(timers.TimersStarted(), 2u);
  EXPECT_EQ(timers.LiveTimers(), 0u);
  EXPECT_EQ(timers.FineResolutionHeld(), 0);
}

TEST_F(WatchdogTest, ArmingWhileArmedKeepsTheFirstDelayAndCode) {
  link.ArmWatchdog(5000, kReadTimeout);
  link.ArmWatchdog(100, 301);
  clock.Advance(4999);
  EXPECT_TRUE(prompts.Boxes().empty());
  clock.Advance(1);
  ASSERT_EQ(prompts.Boxes().size(), 1u);
  EXPECT_EQ(prompts.Boxes()[0].text.rfind("Error 27\n", 0), 0u);
  EXPECT_EQ(timers.TimersStarted(), 1u);
  link.DisarmWatchdog();
  EXPECT_EQ(timers.FineResolutionHeld(), 0) << "disarming after the expiry gave back twice";
}

TEST(IspMessageBoxTest, FormatsByCode) {
  test::RecordingPrompts prompts;
  EXPECT_EQ(IspMessageBox(prompts, 0, "All done"), 0);
  EXPECT_EQ(IspMessageBox(prompts, 301, "x"), 301);
  EXPECT_EQ(IspMessageBox(prompts, 5, "hello"), 5);
  const std::vector<MessageBoxRequest> boxes = prompts.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "All done");
  EXPECT_EQ(boxes[0].icon, BoxIcon::kInformation);
  EXPECT_EQ(boxes[1].text, "Error 301\nThe ISP timeout.\nx");
  EXPECT_EQ(boxes[1].icon, BoxIcon::kError);
  EXPECT_EQ(boxes[2].text, "Error 5\n\nhello");
  for (const MessageBoxRequest& box : boxes) {
    EXPECT_EQ(box.title, "Corvane ISP");
    EXPECT_EQ(box.buttons, BoxButtons::kOkOnly);
    EXPECT_TRUE(box.ownerless);
  }
}

}  // namespace
}  // namespace bb
