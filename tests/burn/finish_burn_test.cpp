#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "burn/job_config.h"
#include "device/status_codes.h"
#include "support/burn_rig.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FinishBurnTest : public ::testing::Test, protected test::BurnRig {
 protected:
  // A camera that has the firmware staged and has come back.
  void Staged(const std::string& extraLines = "") {
    bus.ClearFaults();
    WriteJob(extraLines, 1000);
    ASSERT_EQ(LoadJob(profile, context, console, 10, &window.job), 0);
    bus.Camera().stage = 1;
    ASSERT_EQ(burn.RunJob(&window.job), 0);
    ASSERT_TRUE(bus.ReturnCameras());
    watcher.StopWatchingArrival();
    console.log.clear();
    console.calls.clear();
    clock.ClearSleeps();
    bus.ClearTranscript();
  }
  int StatusPolls() const {
    int polls = 0;
    for (const sim::SimRequest& request : bus.Requests()) {
      polls += request.bRequest == 0x21 && request.wValue == 4 ? 1 : 0;
    }
    return polls;
  }
};

TEST_F(FinishBurnTest, WritesTheStagedImageAtTheRomAddressAndWaitsForTheCamera) {
  Staged();
  bus.Camera().storageWritePolls = 2;
  EXPECT_EQ(burn.FinishBurn(&window.job), kOk);
  EXPECT_THAT(console.log, ElementsAre("ISP Write File OK !!!"));
  EXPECT_EQ(console.calls.back(), "repaint");
  std::vector<std::uint8_t> expected = firmware;
  expected.resize(1024, 0);
  EXPECT_EQ(bus.Camera().storage.at(0x40000), expected);
  EXPECT_EQ(bus.Camera().romAddress, 0x40000u);
  // The storage check, then three polls five seconds apart.
  EXPECT_THAT(clock.Sleeps(), ElementsAre(5000, 5000, 5000));
  EXPECT_EQ(StatusPolls(), 4);
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

TEST_F(FinishBurnTest, NoPollsAllowedTimesOutWithoutAStatusPoll) {
  Staged("IspTimeoutSec=0\n");
  EXPECT_EQ(burn.FinishBurn(&window.job), kIspTimeout);
  EXPECT_THAT(console.log, ElementsAre("ISP Write File Timeout !!!"));
  EXPECT_THAT(clock.Sleeps(), IsEmpty());
  EXPECT_EQ(StatusPolls(), 1) << "only the storage check";
  EXPECT_EQ(bus.Camera().storageWrites, 1) << "the write itself was started";
}

TEST_F(FinishBurnTest, AFailedWriteStatusEndsTheWaitAtOnce) {
  Staged();
  // The storage check reads the write status too: it takes the first answer.
  bus.Camera().writeStatusSequence = {0, 0, 2};
  EXPECT_EQ(burn.FinishBurn(&window.job), kIspTimeout);
  EXPECT_THAT(console.log, ElementsAre("ISP Write File Timeout !!!"));
  EXPECT_THAT(clock.Sleeps(), ElementsAre(5000, 5000));
}

TEST_F(FinishBurnTest, ACameraThatNeverFinishesTimesOutAfterTheAllowedPolls) {
  Staged("IspTimeoutSec=3\n");
  bus.Camera().storageWritePolls = 100;
  EXPECT_EQ(burn.FinishBurn(&window.job), kIspTimeout);
  EXPECT_THAT(clock.Sleeps(), ElementsAre(5000, 5000, 5000));
}

TEST_F(FinishBurnTest, AMissingStorageStopsBeforeTheWrite) {
  Staged();
  bus.Camera().storagePresent = false;
  EXPECT_EQ(burn.FinishBurn(&window.job), -1);
  EXPECT_THAT(console.log, ElementsAre("ISP Fail.  Storage not existed."));
  EXPECT_EQ(bus.Camera().storageWrites, 0);
}

TEST_F(FinishBurnTest, EachFailingRequestHasItsLineAndCode) {
  Staged();
  bus.FailRequest(0x21, 4, 1);
  EXPECT_EQ(burn.FinishBurn(&window.job), kRequestFailed);
  EXPECT_THAT(console.log, ElementsAre("ISP Fail!"));

  Staged();
  bus.FailRequest(0x11);
  EXPECT_EQ(burn.FinishBurn(&window.job), kRequestFailed);
  EXPECT_THAT(console.log, ElementsAre("ISP Write File Fail."));

  Staged();
  bus.FailRequest(0x21, 4, 3);
  EXPECT_EQ(burn.FinishBurn(&window.job), kRequestFailed);
  EXPECT_THAT(console.log, ElementsAre("ISP Write File Timeout !!!"));

  // A camera that did not take the ROM address is not told to write.
  Staged();
  bus.FailRequest(0x71);
  const int writes = bus.Camera().storageWrites;
  EXPECT_EQ(burn.FinishBurn(&window.job), kRequestFailed);
  EXPECT_THAT(console.log, ElementsAre("ISP Write File Fail."));
  EXPECT_EQ(bus.Camera().storageWrites, writes);
  EXPECT_EQ(burn.FinishBurn(nullptr), -1);
}

}  // namespace
}  // namespace bb
