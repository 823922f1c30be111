// The loop of one run of a session without a window, and Ctrl-C in it,
// against the simulated camera on a virtual clock.
#include "app/run_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/control_ids.h"
#include "support/test_host.h"

namespace bb {
namespace {

using ::testing::Contains;
using ::testing::Not;

class RunLoopTest : public ::testing::Test, protected test::TestHost {
 protected:
  RunLoopTest() {
    camera = &bus.Attach();
    camera->stage = 0;
    WriteSampleJob(SampleContent());
    controls.checked[kSilentModeCheck] = true;
  }
  RunEnd StartAndPump() {
    bench.burn.StartBurn();
    RunLoop loop(
        bench.sequencer, steps, bench.arrivals, [this] { return bus.ReturnCameras(); },
        [this] {
          waitedForTheCamera = interrupted = true;
          return true;
        }, [this] { return interrupted; });
    return loop.Pump();
  }
  // The operator presses Ctrl-C once the camera is writing its storage.
  void InterruptAtTheFirstPoll() {
    clock.OnAdvance([this](std::uint64_t) { interrupted |= clock.Sleeps().back() == 5000; });
  }
  bool ButtonsEnabled() {
    return controls.IsEnabled(kIspButton) && controls.IsEnabled(kVersionButton) &&
           controls.IsEnabled(kReadButton);
  }

  sim::SimCamera* camera = nullptr;
  bool interrupted = false;
  bool waitedForTheCamera = false;
};

// The storage write's polls cannot be cut short: the write goes to its end
// and its result stands.
TEST_F(RunLoopTest, CtrlCDuringTheStorageWriteLetsTheWriteFinishAndStand) {
  InterruptAtTheFirstPoll();
  EXPECT_EQ(StartAndPump(), RunEnd::kFinishedDespiteInterrupt);
  EXPECT_EQ(console.log.back(), "ISP Write File OK !!!");
  EXPECT_EQ(camera->storage.count(0x40000), 1u);
  EXPECT_TRUE(ButtonsEnabled());
}

// What would follow the storage write, the read verify, is not started.
TEST_F(RunLoopTest, CtrlCDuringTheStorageWriteOfAVerifiedBurnEndsItBeforeTheVerify) {
  controls.checked[kReadVerifyCheck] = true;
  InterruptAtTheFirstPoll();
  EXPECT_EQ(StartAndPump(), RunEnd::kInterrupted);
  EXPECT_EQ(console.log.back(), "ISP Write File OK !!!");
  EXPECT_EQ(camera->readSelects.size(), 0u);
  EXPECT_TRUE(ButtonsEnabled());
  EXPECT_FALSE(bench.arrivals.Watching());
}

// A camera that does not come back is waited for until the operator gives up.
TEST_F(RunLoopTest, CtrlCWhileWaitingForTheCameraEndsTheRunThere) {
  bus.NeverReturn(true);
  EXPECT_EQ(StartAndPump(), RunEnd::kInterrupted);
  EXPECT_TRUE(waitedForTheCamera);
  EXPECT_EQ(console.log.back(), "  Write File....");
  EXPECT_TRUE(ButtonsEnabled());
  EXPECT_FALSE(bench.arrivals.Watching());
  EXPECT_EQ(camera->storage.count(0x40000), 0u);
}

TEST_F(RunLoopTest, WithoutCtrlCTheRunFinishes) {
  EXPECT_EQ(StartAndPump(), RunEnd::kFinished);
  EXPECT_FALSE(waitedForTheCamera);
  EXPECT_EQ(console.log.back(), "ISP Write File OK !!!");
}

}  // namespace
}  // namespace bb
