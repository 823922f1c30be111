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
  // One guarded bulk read, the way the read-back guards each piece. The boxes
  // that were up before the guard was disarmed are kept.
  bool GuardedRead(std::uint32_t size, std::uint32_t& done) {
    UsbPipes pipes(bus);
    const DeviceTransport::Handle pipe = pipes.OpenPipe(UsbPipes::kRequestSlot);
    std::vector<std::uint8_t> buffer(size);
    link.ArmWatchdog(5000, kReadTimeout, pipe);
    const bool ok = bus.Read(pipe, buffer, done);
    boxesWhileArmed = prompts.Boxes().size();
    link.DisarmWatchdog();
    bus.Close(pipe);
    return ok;
  }
  std::size_t boxesWhileArmed = 0;
};

TEST_F(WatchdogTest, AReadThatStallsPastTheDelayIsCancelledAndItsBoxComesAfterwards) {
  sim::SimCamera& camera = bus.Attach();
  camera.bulkIn.assign(64, 0xAB);
  bus.StallRead(1, 60000);
  std::uint32_t done = 0;
  EXPECT_FALSE(GuardedRead(64, done));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(clock.NowMs(), 5000u) << "the read must end when the delay runs out";
  const std::vector<std::string> lines = bus.TranscriptLines();
  EXPECT_EQ(lines.end()[-2], "read 0/64 failed");
  EXPECT_EQ(boxesWhileArmed, 0u) << "the box belongs on the reading thread, after the read";
  const std::vector<MessageBoxRequest> boxes = prompts.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error 27\nBulk READFILE Time Out error.\n");
  EXPECT_EQ(boxes[0].title, "Corvane ISP");
  EXPECT_EQ(boxes[0].icon, BoxIcon::kError);
  EXPECT_EQ(boxes[0].kind, BoxKind::kError);
  EXPECT_TRUE(boxes[0].ownerless);
  EXPECT_EQ(timers.LiveTimers(), 0u);
  EXPECT_EQ(timers.FineResolutionHeld(), 0);
}

TEST_F(WatchdogTest, AStalledReadThatThenFailsStillFailsWithOneBox) {
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

TEST_F(WatchdogTest, ArmingWhileArmedKeepsTheFirstDelayCodeAndRead) {
  link.ArmWatchdog(5000, kReadTimeout, 7);
  link.ArmWatchdog(100, 301, 8);
  clock.Advance(4999);
  EXPECT_TRUE(prompts.Boxes().empty());
  clock.Advance(1);
  // It keeps cancelling until disarmed, but reports once.
  clock.Advance(10000);
  EXPECT_TRUE(prompts.Boxes().empty());
  link.DisarmWatchdog();
  ASSERT_EQ(prompts.Boxes().size(), 1u);
  EXPECT_EQ(prompts.Boxes()[0].text.rfind("Error 27\n", 0), 0u);
  EXPECT_EQ(timers.TimersStarted(), 1u);
  EXPECT_EQ(timers.LiveTimers(), 0u);
  EXPECT_EQ(timers.FineResolutionHeld(), 0);
  link.DisarmWatchdog();
  EXPECT_EQ(prompts.Boxes().size(), 1u) << "a second disarm reported again";
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
  EXPECT_EQ(boxes[0].kind, BoxKind::kNotice);
  EXPECT_EQ(boxes[1].text, "Error 301\nThe ISP timeout.\nx");
  EXPECT_EQ(boxes[1].icon, BoxIcon::kError);
  EXPECT_EQ(boxes[1].kind, BoxKind::kError);
  EXPECT_EQ(boxes[2].text, "Error 5\n\nhello");
  for (const MessageBoxRequest& box : boxes) {
    EXPECT_EQ(box.title, "Corvane ISP");
    EXPECT_EQ(box.buttons, BoxButtons::kOkOnly);
    EXPECT_TRUE(box.ownerless);
  }
}

}  // namespace
}  // namespace bb
