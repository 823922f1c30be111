#include "app/sequencer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/control_ids.h"
#include "common/steps.h"
#include "device/status_codes.h"
#include "readback/read_verify.h"
#include "support/test_host.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Contains;
using ::testing::Not;

class SequencerTest : public ::testing::Test, protected test::TestHost {
 protected:
  SequencerTest() {
    camera = &bus.Attach();
    WriteSampleJob(SampleContent());
    controls.checked[kSilentModeCheck] = true;
  }
  Sequencer& sequencer() { return bench.sequencer; }
  bool ButtonsEnabled() {
    return controls.IsEnabled(kIspButton) && controls.IsEnabled(kVersionButton) &&
           controls.IsEnabled(kReadButton);
  }
  int Requests(std::uint8_t bRequest) const {
    int count = 0;
    for (const sim::SimRequest& request : bus.Requests()) count += request.bRequest == bRequest;
    return count;
  }
  sim::SimCamera* camera = nullptr;
};

TEST_F(SequencerTest, ABurnRunsThroughTheCamerasReturnToTheStorageWrite) {
  camera->stage = 0;
  bench.burn.StartBurn();
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepWait, kStepArrived, kStepEnd));
  EXPECT_THAT(console.log, Contains("ISP Version(1,2,3,4)"));
  EXPECT_EQ(console.log.back(), "ISP Write File OK !!!");
  EXPECT_EQ(console.caption, "ISP 2860 [5.5.2] - [1.2.3.4]");
  EXPECT_EQ(camera->storage.at(0x40000).size(), (firmware.size() + 255) / 256 * 256);
  EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), camera->storage.at(0x40000).begin()));
  EXPECT_THAT(controls.calls, ElementsAre("disable 1000", "disable 1001", "disable 1037",
                                          "enable 1000", "enable 1001", "enable 1037"));
  EXPECT_FALSE(bench.arrivals.Watching());
  EXPECT_EQ(camera->powerDowns, 0);
}

TEST_F(SequencerTest, AVerifiedBurnOnARunningCoreRunsFiveThreeSevenEleven) {
  controls.checked[kReadVerifyCheck] = true;
  camera->stage = 3;
  bench.burn.StartBurn();
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepArrived, kStepWait, kStepVerify, kStepEnd));
  EXPECT_EQ(console.log.back(), "Read Verify Success !!!");
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "fw.brn.raw"));
  EXPECT_EQ(folder.Read("fw.brn.raw.brn"), firmware);
  EXPECT_EQ(camera->readSelects, (std::vector<std::uint16_t>{0}));
  EXPECT_EQ(console.status, "[Get]: " + folder.File("fw.brn.raw.brn"));
}

TEST_F(SequencerTest, AVerifyOfADifferentImageFails) {
  controls.checked[kReadVerifyCheck] = true;
  camera->stage = 3;
  camera->serveBareImage = true;
  bench.burn.StartBurn();
  Pump();
  EXPECT_THAT(console.log, Contains("  No Header ..."));
  EXPECT_EQ(console.log.back(), "Verify Fail !!!");
}

TEST_F(SequencerTest, AVerifyThatReadsAnEmptyImageFails) {
  controls.checked[kReadVerifyCheck] = true;
  camera->stage = 3;
  camera->servedImage = std::vector<std::uint8_t>{0, 0, 0, 0};
  bench.burn.StartBurn();
  Pump();
  EXPECT_THAT(console.log, Contains("  No Header ..."));
  EXPECT_EQ(folder.Read("fw.brn.raw.brn").size(), 0u);
  EXPECT_EQ(console.log.back(), "Verify Fail !!!");
  EXPECT_EQ(ReadVerify(&Job(), bench.readBack, console), kFilesDiffer);
}

TEST_F(SequencerTest, PowerDownFollowsABurnEvenWhenItFailedButAVerifiedBurnOnlyAfterTheVerify) {
  context.settings.AutoPowerDown2860 = 1;
  camera->stage = 3;
  camera->storagePresent = false;
  bench.burn.StartBurn();
  Pump();
  EXPECT_EQ(console.log.back(), "ISP Fail.  Storage not existed.");
  EXPECT_EQ(camera->powerDowns, 1);

  controls.checked[kReadVerifyCheck] = true;
  bench.burn.StartBurn();
  Pump();
  EXPECT_EQ(camera->powerDowns, 1) << "no verify ran, so no power-down";

  camera->storagePresent = true;
  bench.burn.StartBurn();
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepArrived, kStepWait, kStepVerify, kStepEnd));
  EXPECT_EQ(camera->powerDowns, 2);

  sequencer().StartReadBackFromButton();
  prompts.ScriptFolder(folder.Text());
  Pump();
  Job().WorkKind = kParamOnly;
  steps.Post(kStepStart);
  Pump();
  EXPECT_EQ(camera->powerDowns, 2) << "read-back and parameter runs never power down";
}

TEST_F(SequencerTest, AReadThatStallsForGoodEndsTheReadBackWithTheTimeOutBox) {
  camera->stage = 3;
  prompts.ScriptFolder(folder.Text());
  bus.StallRead(1, 0xFFFFFFFFu);
  sequencer().StartReadBackFromButton();
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepArrived, kStepWait, kStepEnd));
  EXPECT_EQ(console.log.back(), "Read Resource Fail !!!");
  EXPECT_THAT(console.log, Contains("  Fail!"));
  ASSERT_EQ(prompts.Boxes().size(), 1u);
  EXPECT_EQ(prompts.Boxes()[0].text, "Error 27\nBulk READFILE Time Out error.\n");
  EXPECT_TRUE(ButtonsEnabled());
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

TEST_F(SequencerTest, AParameterRunDownloadsOnlyOnItsFirstStep) {
  Job().WorkKind = kParamOnly;
  steps.Post(kStepStart);
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepEnd));
  EXPECT_THAT(console.log, ElementsAre("Download param.txt ...", "  Begin ... 0x1000(0x64)", "  OK!",
                                       "Parameter download OK."));
  EXPECT_EQ(console.status, "[Param]: " + folder.File("param.txt"));
  EXPECT_THAT(controls.calls, ElementsAre("enable 1000", "enable 1001", "enable 1037"));

  console.log.clear();
  bus.ClearTranscript();
  steps.Post(kStepArrived);
  Pump();
  EXPECT_THAT(console.log, ElementsAre("Parameter download OK."));
  EXPECT_TRUE(bus.Transcript().empty());

  bus.FailWrite(1);
  console.log.clear();
  steps.Post(kStepStart);
  Pump();
  EXPECT_EQ(console.log.back(), "Parameter download Fail.");
}

TEST_F(SequencerTest, EvenStepsUpToTenEndARunAndOthersAreUnexpected) {
  for (const std::uint32_t step : {2u, 4u, 6u, 8u, 10u}) {
    bench.arrivals.WatchArrival();
    controls.calls.clear();
    steps.Post(step);
    Pump();
    EXPECT_FALSE(bench.arrivals.Watching()) << step;
    EXPECT_THAT(controls.calls, ElementsAre("enable 1000", "enable 1001", "enable 1037")) << step;
  }
  EXPECT_THAT(console.log, IsEmpty());
  Job().WorkKind = kBurn;
  for (const std::uint32_t step : {1u, 9u}) {
    steps.Post(step);
    EXPECT_THAT(Pump(), ElementsAre(step, kStepEnd));
  }
  EXPECT_THAT(console.log, ElementsAre("  Unknow Isp Msg Id ... 1", "  Unknow Isp Msg Id ... 9"));
  Job().WorkKind = 7;
  steps.Post(kStepStart);
  Pump();
  EXPECT_EQ(console.log.back(), "Error work item!!");
}

TEST_F(SequencerTest, EscapeWhileWaitingEndsTheRunAndNothingMoreReachesTheCamera) {
  camera->stage = 0;
  bus.NeverReturn(true);
  bench.burn.StartBurn();
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepWait));
  EXPECT_TRUE(bench.arrivals.Watching());
  EXPECT_FALSE(ButtonsEnabled());
  const std::size_t sent = bus.Transcript().size();
  EXPECT_TRUE(sequencer().FilterKey(Sequencer::kKeyDown, Sequencer::kKeyEscape));
  EXPECT_THAT(Pump(), ElementsAre(kStepEnd));
  EXPECT_TRUE(ButtonsEnabled());
  EXPECT_FALSE(bench.arrivals.Watching());
  EXPECT_EQ(bus.Transcript().size(), sent);
}

TEST_F(SequencerTest, EscapeWhileIdleOnlyEnablesTheButtons) {
  EXPECT_TRUE(sequencer().FilterKey(Sequencer::kKeyDown, Sequencer::kKeyEscape));
  EXPECT_THAT(Pump(), ElementsAre(kStepEnd));
  EXPECT_THAT(controls.calls, ElementsAre("enable 1000", "enable 1001", "enable 1037"));
  EXPECT_THAT(console.log, IsEmpty());
  EXPECT_TRUE(bus.Transcript().empty());
  EXPECT_FALSE(sequencer().FilterKey(257, Sequencer::kKeyEscape)) << "only key-down counts";
}

TEST_F(SequencerTest, F5WhileARunWaitsRunsAgainWithoutASecondRegistration) {
  camera->stage = 1;
  bus.NeverReturn(true);
  bench.burn.StartBurn();
  Pump();
  ASSERT_EQ(arrivals.RegistrationsMade(), 1);
  controls.checked[kReadVerifyCheck] = true;
  EXPECT_FALSE(sequencer().FilterKey(Sequencer::kKeyDown, Sequencer::kKeyF5));
  EXPECT_EQ(Job().WorkKind, kBurnVerify);
  EXPECT_TRUE(ButtonsEnabled());
  // The camera is still away: the version check and the stage query fail.
  EXPECT_EQ(console.log.front(), "Get AP Version Failed!");
  EXPECT_EQ(camera->ispWriteHeaders.size(), 1u);
  EXPECT_EQ(console.log.back(), "USB Connection Error !!!");
  EXPECT_THAT(Pump(), ElementsAre(kStepEnd));
  EXPECT_EQ(arrivals.RegistrationsMade(), 1);
}

TEST_F(SequencerTest, F5RunsTheJobAsLoadedWithoutDialogOrCheck) {
  camera->stage = 1;
  bus.NeverReturn(true);
  EXPECT_FALSE(sequencer().FilterKey(Sequencer::kKeyDown, Sequencer::kKeyF5));
  EXPECT_THAT(prompts.FileDialogsOpened(), IsEmpty());
  EXPECT_EQ(camera->ispWriteHeaders.size(), 1u);
  EXPECT_THAT(Pump(), ElementsAre(kStepWait));
  EXPECT_EQ(arrivals.RegistrationsMade(), 1);
  EXPECT_TRUE(bench.arrivals.Watching());
}

TEST_F(SequencerTest, AnArrivalWhileNothingWaitsStartsNothing) {
  Job().WorkKind = kBurn;
  const DeviceArrival cameraBack{true, bus.InterfacePath()};
  sequencer().OnDeviceChange(Sequencer::kDeviceArrival, cameraBack);
  sequencer().OnDeviceChange(0x8004, cameraBack);
  EXPECT_THAT(Pump(), IsEmpty());
  EXPECT_TRUE(bus.Transcript().empty());
}

TEST_F(SequencerTest, DevicesThatAreNotTheCameraDoNotEndTheWait) {
  camera->stage = 0;
  bus.NeverReturn(true);
  bench.burn.StartBurn();
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepWait));
  const std::size_t sent = bus.Transcript().size();
  // A memory stick and a port plugged in while the camera restarts.
  bus.AnnounceForeignArrival();
  sequencer().OnDeviceChange(Sequencer::kDeviceArrival,
                             DeviceArrival{false, R"(\\?\STORAGE#Volume)"});
  EXPECT_THAT(Pump(), IsEmpty());
  EXPECT_EQ(bus.Transcript().size(), sent) << "nothing may be sent before the camera is back";
  EXPECT_FALSE(ButtonsEnabled());

  // The camera's own return still counts.
  bus.NeverReturn(false);
  EXPECT_THAT(Pump(), ElementsAre(kStepArrived, kStepEnd));
  EXPECT_EQ(camera->storageWrites, 1);
  EXPECT_EQ(console.log.back(), "ISP Write File OK !!!");
}

TEST_F(SequencerTest, ARunThatCannotWatchForTheCamerasReturnEndsAsAFailure) {
  arrivals.failRegistration = true;
  camera->stage = 0;
  bench.burn.StartBurn();
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepEnd));
  EXPECT_EQ(console.log.back(), "Cannot watch for the camera to come back !!!");
  EXPECT_TRUE(ButtonsEnabled());
  EXPECT_EQ(camera->storageWrites, 0);

  // The read-back likewise; the camera came back meanwhile and runs its core,
  // so it is made to need one again.
  camera->stage = 1;
  sequencer().StartReadBackFromButton();
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepEnd));
  EXPECT_EQ(console.log.back(), "Cannot watch for the camera to come back !!!");
  EXPECT_TRUE(ButtonsEnabled());
  EXPECT_THAT(prompts.FoldersOpenedOn(), IsEmpty());
}

TEST_F(SequencerTest, ADriverThatAnnouncesOneReturnTwiceStartsOneStorageWrite) {
  camera->stage = 0;
  bus.AnnounceArrivalTimes(2);
  bench.burn.StartBurn();
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepWait, kStepArrived, kStepEnd));
  EXPECT_EQ(camera->storageWrites, 1);
}

TEST_F(SequencerTest, TheWorkKindBeforeAnyRunTouchesNothingOnTheCamera) {
  test::TestHost fresh;
  fresh.bus.Attach();
  EXPECT_EQ(fresh.Job().WorkKind, kParamOnly);
  fresh.steps.Post(kStepArrived);
  fresh.Pump();
  EXPECT_TRUE(fresh.bus.Transcript().empty());
}

TEST_F(SequencerTest, F6ChecksVersionsThenReadsBack) {
  camera->stage = 3;
  prompts.ScriptFolder(folder.Text());
  EXPECT_FALSE(sequencer().FilterKey(Sequencer::kKeyDown, Sequencer::kKeyF6));
  EXPECT_EQ(Job().WorkKind, kReadBack);
  EXPECT_THAT(Pump(), ElementsAre(kStepStart, kStepArrived, kStepWait, kStepEnd));
  EXPECT_EQ(console.log.front(), "AP Version(2,1,0,0)");
}

// Every way the window starts a run refuses a poll count outside 0 to 720
// before anything reaches the camera, and gives the buttons back; 0 is the
// time-out at once it has always been.
TEST_F(SequencerTest, EveryRunOfTheWindowRefusesAPollCountOutOfRangeBeforeSendingAnything) {
  const std::vector<std::pair<const char*, std::function<void()>>> starts = {
      {"ISP button", [this] { bench.burn.StartBurn(); }},
      {"Read button", [this] { sequencer().StartReadBackFromButton(); }},
      {"F5", [this] { sequencer().FilterKey(Sequencer::kKeyDown, Sequencer::kKeyF5); }},
      {"F6", [this] { sequencer().FilterKey(Sequencer::kKeyDown, Sequencer::kKeyF6); }},
  };
  for (const char* value : {"-1", "721", "4294967296"}) {
    WriteSampleJob(SampleContent(), std::string("IspTimeoutSec=") + value + "\n");
    for (const auto& [name, start] : starts) {
      SCOPED_TRACE(std::string(name) + " with " + value);
      console.log.clear();
      start();
      Pump();
      EXPECT_THAT(console.log,
                  ElementsAre(std::string("IspTimeoutSec is ") + value + ", outside the range 0 to 720 !!!"));
      EXPECT_TRUE(bus.Transcript().empty());
      EXPECT_TRUE(ButtonsEnabled());
    }
  }
  WriteSampleJob(SampleContent(), "IspTimeoutSec=0\n");
  camera->stage = 3;
  bench.burn.StartBurn();
  Pump();
  EXPECT_EQ(console.log.back(), "ISP Write File Timeout !!!");
  EXPECT_EQ(camera->storageWrites, 1);
}

}  // namespace
}  // namespace bb
