#include "readback/read_back.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/steps.h"
#include "device/status_codes.h"
#include "support/test_host.h"
#include "util/sha256.h"

namespace bb {
namespace {

using ::testing::ElementsAre;

class ReadBackTest : public ::testing::Test, protected test::TestHost {
 protected:
  ReadBackTest() {
    camera = &bus.Attach();
    WriteSampleJob(SampleContent());
  }
  ReadBack& readBack() { return bench.readBack; }
  std::string RawFile() const { return folder.File("image.raw"); }
  sim::SimCamera* camera = nullptr;
};

TEST_F(ReadBackTest, StageZeroDownloadsBothFilesThenOneBlockOfZerosAndWatches) {
  camera->stage = 0;
  ASSERT_EQ(readBack().StartReadBack(), kOk);
  EXPECT_EQ(camera->ram.at(0x1000).size(), 100u);
  EXPECT_EQ(camera->ram.at(0x2000).size(), 3000u);
  ASSERT_EQ(camera->ispWriteHeaders.size(), 1u);
  EXPECT_EQ(camera->ispWriteHeaders[0].blocks, 1u);
  EXPECT_EQ(camera->ispWriteHeaders[0].dramAddress, 0x300000u);
  EXPECT_EQ(camera->ram.at(0x300000), std::vector<std::uint8_t>(256, 0));
  // Each file in one write of its exact size, then exactly one block of zeros.
  EXPECT_THAT(camera->bulkOutWrites, ElementsAre(100, 3000, 256));
  EXPECT_TRUE(bench.arrivals.Watching());
  EXPECT_EQ(context.legacyDramAddress, 0x300000u);
  EXPECT_TRUE(steps.Empty());
}

TEST_F(ReadBackTest, StagesOneAndTwoDownloadOnlyTheCoreWhateverTheController) {
  camera->stage = 2;
  camera->reportedCoreAddress = 0x80123400;
  ASSERT_EQ(readBack().StartReadBack(), kOk);
  EXPECT_EQ(camera->ram.count(0x1000), 0u);
  EXPECT_EQ(camera->ram.at(0x80123400).size(), 3000u);
  EXPECT_EQ(Job().CoreAddress, 0x80123400u);
}

// A read-back downloads the parameter file and the ISP core as a burn does:
// their pins are checked first, and a wrong one stops it before the camera
// hears anything, not even the stage query.
TEST_F(ReadBackTest, AWrongPinOfAFileItDownloadsStopsTheReadBackBeforeAnythingIsSent) {
  const std::string wrong(64, '0');
  for (const auto& [key, file] : {std::pair{"ParamSha256", "param.txt"}, std::pair{"IspSha256", "core.bin"}}) {
    SCOPED_TRACE(key);
    WriteSampleJob(SampleContent(), std::string(key) + "=" + wrong + "\n");
    console.log.clear();
    bus.ClearTranscript();
    camera->stage = 0;
    EXPECT_EQ(readBack().StartReadBack(), kProcedureFailed);
    const std::string path = folder.File(file);
    EXPECT_THAT(console.log, ElementsAre("SHA-256 mismatch: " + path + " is " +
                                         ToHex(HashFile(path)->digest) + ", " + key + " is " +
                                         wrong + " !!!"));
    EXPECT_TRUE(bus.Transcript().empty());
  }
}

TEST_F(ReadBackTest, ARunningCoreNeedsNothingAndTheArrivalIsPosted) {
  camera->stage = 200;
  ASSERT_EQ(readBack().StartReadBack(), kOk);
  EXPECT_EQ(steps.Take(), kStepArrived);
  EXPECT_EQ(bus.Requests().size(), 1u);
  EXPECT_FALSE(bench.arrivals.Watching());
}

TEST_F(ReadBackTest, FailuresOfTheStartAre104OrTheFailingTransfersCode) {
  bus.FailRequest(0x70);
  EXPECT_EQ(readBack().StartReadBack(), kProcedureFailed);
  EXPECT_EQ(console.log.back(), "USB Connection Error !!!");
  bus.ClearFaults();
  camera->stage = 0;
  bus.FailWrite(1);
  EXPECT_EQ(readBack().StartReadBack(), kProcedureFailed);
  bus.ClearFaults();
  bus.FailRequest(0xFD, 0x04F1);
  EXPECT_EQ(readBack().StartReadBack(), kRequestFailed);
  EXPECT_EQ(console.log.back(), "ISP Fail!");
  bus.ClearFaults();
  bus.ShortWrite(3);
  EXPECT_EQ(readBack().StartReadBack(), kShortTransfer);
  EXPECT_EQ(console.log.back(), "ISP Fail!");
  EXPECT_FALSE(bench.arrivals.Watching());
}

TEST_F(ReadBackTest, ReadsTheImageInChunkPiecesIntoTheFile) {
  std::vector<std::uint8_t> image(0x10000 * 2 + 100);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
  camera->servedImage = image;
  camera->imageDeviceAddress = 0x1000;
  ASSERT_EQ(readBack().ReadResource(RawFile(), ReadPurpose::kExport), kOk);
  EXPECT_EQ(folder.Read("image.raw"), image);
  EXPECT_THAT(console.log, ElementsAre("Read resource image.raw ...", "  Begin ... 0x1000(0x20064)", "  OK!"));
  EXPECT_EQ(camera->readSelects, (std::vector<std::uint16_t>{1}));
  ASSERT_EQ(camera->readRequests.size(), 1u) << "the whole image in one request";
  EXPECT_EQ(camera->readRequests[0].size, image.size());
  std::vector<std::string> reads;
  for (const std::string& line : bus.TranscriptLines()) {
    if (line.rfind("read", 0) == 0) reads.push_back(line);
  }
  EXPECT_THAT(reads, ElementsAre("read 65536/65536", "read 65536/65536", "read 100/100"));
  EXPECT_EQ(timers.TimersStarted(), 3u) << "one watchdog arming per piece";
  EXPECT_EQ(timers.LiveTimers(), 0u);
  EXPECT_EQ(clock.Sleeps(), (std::vector<std::uint32_t>{1000, 1000})) << "the ready wait";
}

TEST_F(ReadBackTest, EachPieceIsInTheFileOnceItHasArrived) {
  camera->servedImage = std::vector<std::uint8_t>(0x10000 * 2 + 100, 7);
  // The third read takes a moment of the camera's: the file is looked at then.
  std::vector<std::uintmax_t> sizes;
  bus.SetTimePassage([&](std::uint32_t ms) {
    sizes.push_back(std::filesystem::file_size(RawFile()));
    clock.Advance(ms);
  });
  bus.StallRead(3, 1);
  ASSERT_EQ(readBack().ReadResource(RawFile(), ReadPurpose::kExport), kOk);
  EXPECT_EQ(sizes, (std::vector<std::uintmax_t>{0x20000}));
  EXPECT_EQ(folder.Read("image.raw"), *camera->servedImage);
}

TEST_F(ReadBackTest, AVerifyReadSelectsWithZeroAndAnEmptyImageMakesAnEmptyFile) {
  camera->servedImage = std::vector<std::uint8_t>{};
  ASSERT_EQ(readBack().ReadResource(RawFile(), ReadPurpose::kVerify), kOk);
  EXPECT_EQ(camera->readSelects, (std::vector<std::uint16_t>{0}));
  EXPECT_TRUE(std::filesystem::exists(RawFile()));
  EXPECT_TRUE(folder.Read("image.raw").empty());
  EXPECT_EQ(console.log.back(), "  OK!");
  EXPECT_TRUE(camera->readRequests.empty());
}

TEST_F(ReadBackTest, ACameraThatIsNeverReadyTimesOut) {
  camera->servedImage = std::vector<std::uint8_t>(10);
  camera->readPreparePolls = 1000;
  Job().IspTimeoutSec = 4;
  EXPECT_EQ(readBack().ReadResource(RawFile(), ReadPurpose::kExport), kIspTimeout);
  EXPECT_EQ(console.log.back(), "ISP Read File Fail.  Wait timeout");
  EXPECT_EQ(clock.Sleeps().size(), 4u);
  EXPECT_FALSE(std::filesystem::exists(RawFile()));
}

TEST_F(ReadBackTest, AShortPieceFailsTheReadAndLeavesAnEmptyFile) {
  camera->servedImage = std::vector<std::uint8_t>(0x10000 + 5, 1);
  bus.ShortRead(2);
  EXPECT_EQ(readBack().ReadResource(RawFile(), ReadPurpose::kExport), kShortTransfer);
  EXPECT_EQ(console.log.back(), "  Fail!");
  EXPECT_TRUE(std::filesystem::exists(RawFile()));
  EXPECT_TRUE(folder.Read("image.raw").empty());
  EXPECT_EQ(bus.OpenHandles(), 0u);
  EXPECT_EQ(timers.LiveTimers(), 0u);
}

TEST_F(ReadBackTest, AStalledPieceIsCancelledAndFailsWith23AfterItsTimeOutBox) {
  camera->servedImage = std::vector<std::uint8_t>(0x10000 + 300, 2);
  bus.StallRead(2, 600000);
  const std::uint64_t start = clock.NowMs();
  EXPECT_EQ(readBack().ReadResource(RawFile(), ReadPurpose::kExport), kReadFailed);
  // The wait for the camera, then the first piece, then 5 s of the stalled one.
  EXPECT_EQ(clock.NowMs() - start, clock.SleptMs() + 5000);
  ASSERT_EQ(prompts.Boxes().size(), 1u);
  EXPECT_EQ(prompts.Boxes()[0].text, "Error 27\nBulk READFILE Time Out error.\n");
  EXPECT_EQ(console.log.back(), "  Fail!");
  EXPECT_TRUE(folder.Read("image.raw").empty());
  EXPECT_EQ(bus.OpenHandles(), 0u);
  EXPECT_EQ(timers.LiveTimers(), 0u);
}

TEST_F(ReadBackTest, ReadDeviceDataRefusesNothingToReadAndReportsEachFailure) {
  std::vector<std::uint8_t> buffer(16);
  EXPECT_EQ(readBack().ReadDeviceData(0, 0, buffer), kFailed);
  EXPECT_EQ(readBack().ReadDeviceData(16, 0, {}), kFailed);
  EXPECT_TRUE(bus.Transcript().empty());
  camera->servedImage = std::vector<std::uint8_t>(16, 3);
  bus.FailRead(1);
  bench.link.VendorNoData(0x33, 1, 0);
  EXPECT_EQ(readBack().ReadDeviceData(16, camera->imageDeviceAddress, buffer), kReadFailed);
  bus.FailRequest(0xFD, 0x04F2);
  EXPECT_EQ(readBack().ReadDeviceData(16, camera->imageDeviceAddress, buffer), kRequestFailed);
}

TEST_F(ReadBackTest, AFileThatCannotBeCreatedIs2) {
  camera->servedImage = std::vector<std::uint8_t>(10);
  EXPECT_EQ(readBack().ReadResource(folder.File("no/such/folder.raw"), ReadPurpose::kExport), kFileError);
}

}  // namespace
}  // namespace bb
