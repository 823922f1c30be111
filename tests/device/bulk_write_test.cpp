#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "device/status_codes.h"
#include "support/device_rig.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class BulkWriteTest : public ::testing::Test, protected test::DeviceRig {
 protected:
  BulkWriteTest() { bus.Attach("cam"); }

  std::vector<std::string> Writes() const {
    std::vector<std::string> writes;
    for (const std::string& line : bus.TranscriptLines()) {
      if (line.rfind("write", 0) == 0) writes.push_back(line);
    }
    return writes;
  }

  static std::vector<std::uint8_t> Bytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{7});
    return bytes;
  }
};

TEST_F(BulkWriteTest, NothingToWriteStillOpensAndClosesTheBulkPipe) {
  EXPECT_EQ(link.BulkWrite(0, 4096, {}), kOk);
  EXPECT_THAT(bus.TranscriptLines(), ElementsAre("enumerate", "open cam", "close cam",
                                                 "open cam\\PIPE01", "close cam\\PIPE01"));
  EXPECT_THAT(clock.Sleeps(), IsEmpty());
}

TEST_F(BulkWriteTest, LessThanAChunkIsOneWriteWithoutPause) {
  const auto data = Bytes(100);
  EXPECT_EQ(link.BulkWrite(100, 4096, data), kOk);
  EXPECT_THAT(Writes(), ElementsAre("write 100/100"));
  EXPECT_THAT(clock.Sleeps(), IsEmpty());
}

TEST_F(BulkWriteTest, PausesLongAfterTheFirstChunkShortAfterLaterOnesAndNotAfterTheRest) {
  const auto data = Bytes(3 * 4096 + 10);
  EXPECT_EQ(link.BulkWrite(3 * 4096 + 10, 4096, data), kOk);
  EXPECT_THAT(Writes(), ElementsAre("write 4096/4096", "write 4096/4096", "write 4096/4096",
                                    "write 10/10"));
  EXPECT_THAT(clock.Sleeps(), ElementsAre(500, 1, 1));
  EXPECT_EQ(bus.Camera().bulkBytesReceived, 3u * 4096 + 10);
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

TEST_F(BulkWriteTest, AShortFirstChunkStopsAt24WithoutThePause) {
  bus.ShortWrite(1);
  const auto data = Bytes(8192);
  EXPECT_EQ(link.BulkWrite(8192, 4096, data), kShortTransfer);
  EXPECT_THAT(Writes(), ElementsAre("write 4095/4096"));
  EXPECT_THAT(clock.Sleeps(), IsEmpty());
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

TEST_F(BulkWriteTest, AFailedWriteIs25AndEarlierChunksStayWritten) {
  bus.FailWrite(2);
  const auto data = Bytes(3 * 4096);
  EXPECT_EQ(link.BulkWrite(3 * 4096, 4096, data), kWriteFailed);
  EXPECT_THAT(Writes(), ElementsAre("write 4096/4096", "write 0/4096 failed"));
  EXPECT_THAT(clock.Sleeps(), ElementsAre(500));
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

TEST_F(BulkWriteTest, AShortRemainderIs24) {
  bus.ShortWrite(2, 3);
  const auto data = Bytes(4096 + 10);
  EXPECT_EQ(link.BulkWrite(4096 + 10, 4096, data), kShortTransfer);
  EXPECT_THAT(Writes(), ElementsAre("write 4096/4096", "write 7/10"));
}

TEST_F(BulkWriteTest, AMissingCameraIs21) {
  bus.DetachAll();
  const auto data = Bytes(10);
  EXPECT_EQ(link.BulkWrite(10, 4096, data), kNoPipe);
}

TEST_F(BulkWriteTest, ArgumentsOutOfRangeSendNothing) {
  const auto data = Bytes(10);
  EXPECT_EQ(link.BulkWrite(10, 0, data), kFailed);
  EXPECT_EQ(link.BulkWrite(10, 0x10001, data), kFailed);
  EXPECT_EQ(link.BulkWrite(11, 4096, data), kFailed) << "the source holds only 10 bytes";
  EXPECT_TRUE(bus.Transcript().empty());
}

}  // namespace
}  // namespace bb
