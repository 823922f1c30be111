#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "common/control_ids.h"
#include "common/steps.h"
#include "burn/job_config.h"
#include "device/status_codes.h"
#include "support/burn_rig.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RunJobTest : public ::testing::Test, protected test::BurnRig {
 protected:
  void Load(const std::string& extraLines, std::size_t firmwareSize) {
    WriteJob(extraLines, firmwareSize);
    ASSERT_EQ(LoadJob(profile, context, console, 10, &window.job), 0);
    console.log.clear();
    console.calls.clear();
  }
  sim::SimCamera& Camera() { return bus.Camera(); }
  std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
  }
  std::vector<std::string> StatusTexts() const {
    std::vector<std::string> texts;
    for (const std::string& call : console.calls) {
      if (call.rfind("status ", 0) == 0) texts.push_back(call.substr(7));
    }
    return texts;
  }
};

TEST_F(RunJobTest, StageZeroDownloadsParameterAndCoreThenSendsTheFirmwareAndWatches) {
  Load("", 1000);
  Camera().stage = 0;
  ASSERT_EQ(burn.RunJob(&window.job), 0);

  EXPECT_THAT(console.log,
              ElementsAre("Download param.txt ...", "  Begin ... 0x1000(0x64)", "  OK!",
                          "Download core.bin ...", "  Begin ... 0x2000(0xbb8)", "  OK!",
                          "Download firmware fw.bin ...", "  Write File Prepare...",
                          "  Write File...."));
  EXPECT_THAT(StatusTexts(), ElementsAre("[Param]: " + folder.File("param.txt"),
                                         "[Isp]: " + folder.File("core.bin"),
                                         "[Burn]: " + folder.File("fw.bin")));
  // The parameter file and the core go with their exact sizes, each in one
  // write; the firmware's 4 blocks in one more. Not a byte more is sent.
  EXPECT_THAT(Camera().bulkOutWrites, ElementsAre(100, 3000, 1024));
  EXPECT_EQ(Camera().ram.at(0x1000), param);
  EXPECT_EQ(Camera().ram.at(0x2000), core);
  EXPECT_THAT(Camera().refusals, IsEmpty());
  // 1000 bytes are 4 blocks; the 24 bytes after the file are zero.
  ASSERT_EQ(Camera().ispWriteHeaders.size(), 1u);
  const auto header = Camera().ispWriteHeaders[0];
  EXPECT_EQ(header.dramAddress, 0x300000u);
  EXPECT_EQ(header.romAddress, 0x40000u);
  EXPECT_EQ(header.sectorAddress, 5u);
  EXPECT_EQ(header.blocks, 4u);
  EXPECT_EQ(Camera().ram.at(0x300000), Padded(firmware, 1024));
  EXPECT_EQ(context.legacyDramAddress, 0x300000u);
  // A second after each download; the small transfers need no pacing.
  EXPECT_THAT(clock.Sleeps(), ElementsAre(1000, 1000));
  EXPECT_TRUE(watcher.Watching());
  EXPECT_THAT(Steps(), IsEmpty());

  // The camera restarted and comes back under a new path, announced once.
  EXPECT_FALSE(bus.Present());
  EXPECT_TRUE(bus.ReturnCameras());
  EXPECT_EQ(arrivalsAnnounced, 1);
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

TEST_F(RunJobTest, TheLogIsRepaintedBeforeEachLongTransfer) {
  Load("", 1000);
  Camera().stage = 0;
  ASSERT_EQ(burn.RunJob(&window.job), 0);
  for (const char* line : {"log   Begin ... 0x1000(0x64)", "log   OK!", "log   Write File Prepare...",
                           "log   Write File...."}) {
    auto found = std::find(console.calls.begin(), console.calls.end(), line);
    ASSERT_NE(found, console.calls.end()) << line;
    EXPECT_EQ(*(found + 1), "repaint") << line;
  }
}

TEST_F(RunJobTest, StagesOneAndTwoDownloadOnlyTheCoreToTheAddressTheCameraReports) {
  // The second address fills all four bytes of the reply, the top one too.
  for (const auto& [stage, address] : {std::pair<std::uint8_t, std::uint32_t>{1, 0x100000},
                                       std::pair<std::uint8_t, std::uint32_t>{2, 0xFE012345}}) {
    Load("", 512);
    Camera().ram.clear();
    Camera().stage = stage;
    Camera().reportedCoreAddress = address;
    ASSERT_EQ(burn.RunJob(&window.job), 0);
    EXPECT_EQ(window.job.CoreAddress, address);
    EXPECT_EQ(Camera().ram.count(0x1000), 0u) << "no parameter download at stage 1 or 2";
    EXPECT_EQ(Camera().ram.at(address), core);
    EXPECT_EQ(console.log.front(), "Download core.bin ...");
    EXPECT_EQ(StatusTexts().front(), "[Isp]: " + folder.File("core.bin"));
    // 512 bytes are exactly 2 blocks, nothing added.
    EXPECT_EQ(Camera().ispWriteHeaders.back().blocks, 2u);
    EXPECT_EQ(Camera().ram.at(0x300000), firmware);
    bus.ReturnCameras();
    watcher.StopWatchingArrival();
  }
}

TEST_F(RunJobTest, ARunningCoreGetsTheFirmwareInItsDramAndTheArrivalIsPostedAtOnce) {
  Load("", 1000);
  Camera().stage = 3;
  ASSERT_EQ(burn.RunJob(&window.job), 0);
  EXPECT_THAT(Steps(), ElementsAre(kStepArrived));
  EXPECT_FALSE(watcher.Watching());
  EXPECT_THAT(StatusTexts(), IsEmpty());
  EXPECT_TRUE(Camera().ispWriteHeaders.empty());
  // The staging header announces the rounded length.
  const sim::SimRequest header = bus.Requests().at(2);
  EXPECT_EQ(header.wValue, 0x04F3);
  EXPECT_EQ(header.data, (std::vector<std::uint8_t>{0, 0, 0x30, 0, 0x00, 0x04, 0, 0}));
  EXPECT_EQ(Camera().ram.at(0x300000), Padded(firmware, 1024));
  EXPECT_TRUE(bus.Present()) << "staging does not restart the camera";
}

TEST_F(RunJobTest, StageZeroWithAnotherControllerSkipsTheParameterFile) {
  Load("", 256);
  context.controllerCode = kVexa611;
  Camera().stage = 0;
  ASSERT_EQ(burn.RunJob(&window.job), 0);
  EXPECT_EQ(console.log.front(), "Download core.bin ...");
  EXPECT_EQ(Camera().ram.count(0x1000), 0u);
  EXPECT_EQ(StatusTexts().front(), "[Isp]: " + folder.File("core.bin"));
  // The VEXA611 takes the same header as the VEXA2860.
  EXPECT_EQ(Camera().ispWriteHeaders.at(0).romAddress, 0x40000u);
}

TEST_F(RunJobTest, LegacyControllersCarryTheirReserveSizeOrOnlyABlockCount) {
  Load("", 1000);
  context.settings.NandReserveSize616 = 0x616;
  context.settings.NandReserveSize618 = 0x618;
  for (const auto& [controller, rom] : {std::pair{kVexa616, 0x616u}, std::pair{kVexa618, 0x618u}}) {
    context.controllerCode = controller;
    Camera().stage = 1;
    ASSERT_EQ(burn.WriteFirmware(&window.job), kOk);
    const auto header = Camera().ispWriteHeaders.back();
    EXPECT_EQ(header.dramAddress, 0x300000u);
    EXPECT_EQ(header.romAddress, rom);
    EXPECT_EQ(header.sectorAddress, 5u);
    EXPECT_EQ(header.blocks, 4u);
    bus.ReturnCameras();
  }
  context.controllerCode = 9;
  ASSERT_EQ(burn.WriteFirmware(&window.job), kOk);
  EXPECT_THAT(Camera().blockCountRequests, ElementsAre(4));
  EXPECT_EQ(Camera().ispWriteHeaders.size(), 2u);
  // Staging sends no header at all for any controller but the VEXA2860.
  bus.ClearTranscript();
  ASSERT_EQ(burn.StageFirmware(&window.job), kOk);
  for (const sim::SimRequest& request : bus.Requests()) EXPECT_NE(request.bRequest, 0xFD);
}

// An empty image would be burned as nothing and reported as burned: whichever
// of the three is empty, the camera hears nothing of the run.
TEST_F(RunJobTest, AnEmptyImageIsRefusedBeforeAnythingReachesTheCamera) {
  for (const char* empty : {"param.txt", "core.bin", "fw.bin"}) {
    Load("", 1000);
    folder.Write(empty, "");
    bus.ClearTranscript();
    Camera().stage = 3;
    EXPECT_EQ(burn.RunJob(&window.job), -1) << empty;
    EXPECT_THAT(console.log, ElementsAre("File " + folder.File(empty) + " is empty !!!"));
    EXPECT_THAT(bus.Transcript(), IsEmpty()) << empty;
  }
  // A download that skips the run's check (a read-back's, or the parameter
  // file alone) refuses it just the same.
  console.log.clear();
  EXPECT_EQ(burn.DownloadParam(&window.job), 0);
  EXPECT_EQ(burn.WriteFirmware(&window.job), kFileError);
  EXPECT_THAT(console.log, ElementsAre("Download param.txt ...", "  Begin ... 0x1000(0x64)", "  OK!",
                                       "Download firmware fw.bin ...",
                                       "File " + folder.File("fw.bin") + " is empty !!!"));
  EXPECT_TRUE(Camera().ispWriteHeaders.empty());
}

TEST_F(RunJobTest, FailuresEndTheStageWithTheirLine) {
  struct Case {
    const char* name;
    std::function<void(test::BurnRig&)> fault;
    int stage;
    const char* lastLine;
  };
  const std::vector<Case> cases = {
      {"stage query", [](test::BurnRig& r) { r.bus.FailRequest(0x70); }, 0,
       "USB Connection Error !!!"},
      {"parameter header", [](test::BurnRig& r) { r.bus.FailRequest(0xFD, 0x04F3, 1); }, 0,
       "  Fail!"},
      {"core bulk", [](test::BurnRig& r) { r.bus.FailWrite(1); }, 1, "  Fail!"},
      {"busy query", [](test::BurnRig& r) { r.bus.FailRequest(0x21, 0); }, 1, "ISP Fail!"},
      {"busy", [](test::BurnRig& r) { r.bus.Camera().busy = true; }, 1, "ISP Busy!"},
      {"write header", [](test::BurnRig& r) { r.bus.FailRequest(0xFD, 0x04F1); }, 1, "ISP Fail!"},
      {"firmware bulk", [](test::BurnRig& r) { r.bus.ShortWrite(2); }, 1, "  Fail!"},
      {"staging header", [](test::BurnRig& r) { r.bus.FailRequest(0xFD, 0x04F3); }, 3,
       "ISP Fail!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::BurnRig rig;
    rig.WriteJob("", 1000);
    ASSERT_EQ(LoadJob(rig.profile, rig.context, rig.console, 10, &rig.window.job), 0);
    rig.bus.Camera().stage = static_cast<std::uint8_t>(c.stage);
    c.fault(rig);
    EXPECT_EQ(rig.burn.RunJob(&rig.window.job), -1);
    EXPECT_EQ(rig.console.log.back(), c.lastLine);
    EXPECT_FALSE(rig.watcher.Watching());
    EXPECT_TRUE(rig.steps.Empty());
    EXPECT_EQ(rig.bus.OpenHandles(), 0u);
  }
}

TEST_F(RunJobTest, WriteFirmwareReturnsTheCodeOfItsFailure) {
  Load("", 1000);
  Camera().busy = true;
  EXPECT_EQ(burn.WriteFirmware(&window.job), kCameraBusy);
  Camera().busy = false;
  bus.FailRequest(0xFD, 0x04F1, 1);
  EXPECT_EQ(burn.WriteFirmware(&window.job), kRequestFailed);
  bus.DetachAll();
  EXPECT_EQ(burn.WriteFirmware(&window.job), kNoPipe);
  EXPECT_EQ(burn.WriteFirmware(nullptr), -1);
}

TEST_F(RunJobTest, AFirmwareThatVanishedBeforeTheSendIsReportedAndNothingIsSentForIt) {
  Load("", 1000);
  Camera().stage = 1;
  std::filesystem::remove(folder.Path() / "fw.bin");
  EXPECT_EQ(burn.WriteFirmware(&window.job), kFileError);
  EXPECT_THAT(console.log, ElementsAre("Download firmware fw.bin ...", "Open file error..."));
  EXPECT_TRUE(bus.Transcript().empty());
  EXPECT_EQ(burn.RunJob(&window.job), -1);
  EXPECT_TRUE(Camera().ispWriteHeaders.empty());
}

TEST_F(RunJobTest, AMissingDownloadFileIsLoggedAndNothingIsSent) {
  Load("", 1000);
  std::filesystem::remove(folder.Path() / "param.txt");
  EXPECT_EQ(burn.DownloadParam(&window.job), -1);
  EXPECT_THAT(console.log, ElementsAre("Download param.txt ...", "Open file error..."));
  EXPECT_TRUE(bus.Transcript().empty());
  EXPECT_EQ(burn.DownloadParam(nullptr), -1);
  EXPECT_EQ(burn.DownloadCore(nullptr), -1);
}

}  // namespace
}  // namespace bb
