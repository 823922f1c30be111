#include "device/device_commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "device/status_codes.h"
#include "support/device_rig.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DeviceCommandsTest : public ::testing::Test, protected test::DeviceRig {
 protected:
  sim::SimCamera& camera = bus.Attach("cam");

  std::vector<std::string> IoControls() const {
    std::vector<std::string> lines;
    for (const std::string& line : bus.TranscriptLines()) {
      if (line.rfind("ioctl", 0) == 0) lines.push_back(line);
    }
    return lines;
  }
};

TEST_F(DeviceCommandsTest, WriteRegionSendsTheHeaderThenTheBytes) {
  const std::vector<std::uint8_t> data{1, 2, 3, 4, 5};
  EXPECT_EQ(commands.WriteRegion(data, 0x100000, 5), kOk);
  const sim::SimRequest header = bus.Requests().at(0);
  EXPECT_EQ(header.bRequest, 0xFD);
  EXPECT_EQ(header.wValue, 0x04F3);
  EXPECT_EQ(header.data, (std::vector<std::uint8_t>{0x00, 0x00, 0x10, 0x00, 5, 0, 0, 0}));
  EXPECT_EQ(camera.ram.at(0x100000), data);
}

TEST_F(DeviceCommandsTest, WriteRegionOfNothingOpensTheBulkPipeWithoutWriting) {
  EXPECT_EQ(commands.WriteRegion({}, 0x2000, 0), kOk);
  EXPECT_EQ(bus.Requests().at(0).data, (std::vector<std::uint8_t>{0, 0x20, 0, 0, 0, 0, 0, 0}));
  const std::vector<std::string> lines = bus.TranscriptLines();
  EXPECT_THAT(std::vector<std::string>(lines.end() - 2, lines.end()),
              ElementsAre("open cam\\PIPE01", "close cam\\PIPE01"));
}

TEST_F(DeviceCommandsTest, WriteRegionWhoseHeaderFailsSendsNoData) {
  bus.FailRequest(0xFD);
  const std::vector<std::uint8_t> data(10);
  EXPECT_EQ(commands.WriteRegion(data, 0, 10), kRequestFailed);
  for (const std::string& line : bus.TranscriptLines()) {
    EXPECT_EQ(line.find("PIPE01"), std::string::npos) << line;
  }
}

TEST_F(DeviceCommandsTest, StatusQueriesGiveTheirByteOr22) {
  camera.writeStatusSequence = {1};
  camera.storagePresent = false;
  std::uint8_t status = 9;
  std::uint8_t present = 9;
  EXPECT_EQ(commands.QueryWriteStatus(&status), kOk);
  EXPECT_EQ(commands.QueryStorage(&present), kOk);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(present, 0);
  EXPECT_EQ(commands.QueryWriteStatus(nullptr), kFailed);
  EXPECT_EQ(commands.QueryStorage(nullptr), kFailed);

  bus.DetachAll();
  status = 9;
  EXPECT_EQ(commands.QueryWriteStatus(&status), kRequestFailed) << "an absent camera is 22 here";
  EXPECT_EQ(status, 0);
}

TEST_F(DeviceCommandsTest, WaitWriteDoneWithNoPollsAllowedTimesOutAtOnce) {
  EXPECT_EQ(commands.WaitWriteDone(5000, 0), kIspTimeout);
  EXPECT_TRUE(bus.Transcript().empty());
  EXPECT_THAT(clock.Sleeps(), IsEmpty());
}

TEST_F(DeviceCommandsTest, WaitWriteDoneStopsAtTheFirstNonZeroStatus) {
  camera.writeStatusSequence = {2, 1};
  EXPECT_EQ(commands.WaitWriteDone(5000, 30), kIspTimeout);
  EXPECT_THAT(clock.Sleeps(), ElementsAre(5000));
  EXPECT_EQ(IoControls().size(), 1u);
}

TEST_F(DeviceCommandsTest, WaitWriteDoneSucceedsOnTheThirdPollAfterThreeSleeps) {
  camera.writeStatusSequence = {0, 0, 1};
  EXPECT_EQ(commands.WaitWriteDone(5000, 30), kOk);
  EXPECT_THAT(clock.Sleeps(), ElementsAre(5000, 5000, 5000));
  EXPECT_EQ(IoControls().size(), 3u);
}

TEST_F(DeviceCommandsTest, WaitWriteDoneGivesUpAfterCountPolls) {
  camera.writeStatusIdle = 0;
  EXPECT_EQ(commands.WaitWriteDone(1000, 4), kIspTimeout);
  EXPECT_THAT(clock.Sleeps(), ElementsAre(1000, 1000, 1000, 1000));
}

TEST_F(DeviceCommandsTest, WaitWriteDoneReturnsAFailedQueryAtOnce) {
  camera.writeStatusSequence = {0, 0, 1};
  bus.FailRequest(0x21, 4, 2);
  EXPECT_EQ(commands.WaitWriteDone(5000, 30), kRequestFailed);
  EXPECT_THAT(clock.Sleeps(), ElementsAre(5000, 5000));
}

TEST_F(DeviceCommandsTest, CheckVersionsEmptiesTheLogAndShowsAllThree) {
  console.AddLogLine("old line");
  camera.apVersion = {3, 1, 4, 1, 0, 0, 0, 0};
  commands.CheckVersions();
  EXPECT_THAT(console.log, ElementsAre("AP Version(3,1,4,1)", "F/W Version(1,2,3,4) [Corvane]",
                                       "F/W Version(9,8,7,6) [Customer]"));
  EXPECT_EQ(IoControls().size(), 3u) << "an AP answer of 2 or more needs no single bytes";
}

TEST_F(DeviceCommandsTest, AnApVersionInSingleBytesIsFetchedByteByByte) {
  for (const std::uint8_t first : {0, 1}) {
    bus.ClearTranscript();
    camera.apVersion = {first, 77, 77, 77, 77, 0, 0, 0};
    camera.apVersionBytes = {5, 6, 7, 8};
    commands.CheckVersions();
    EXPECT_EQ(console.log.at(0), "AP Version(" + std::to_string(first) + ",5,6,7)");
    const std::vector<sim::SimRequest> requests = bus.Requests();
    ASSERT_EQ(requests.size(), 7u);
    for (std::uint16_t index = 1; index <= 4; ++index) {
      EXPECT_EQ(requests[index].bRequest, 0x20);
      EXPECT_EQ(requests[index].wValue, 0);
      EXPECT_EQ(requests[index].wIndex, index);
      EXPECT_EQ(requests[index].wLength, 1);
    }
  }
}

TEST_F(DeviceCommandsTest, ASingleByteThatDoesNotComeFailsTheApVersion) {
  camera.apVersion = {1, 77, 77, 77, 77, 0, 0, 0};
  camera.apVersionBytes = {5, 6, 7, 8};
  for (const std::uint32_t failing : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(failing);
    bus.ClearFaults();
    bus.ClearTranscript();
    // The first request of wValue 0 is the 8-byte one; the single bytes follow.
    bus.FailRequest(0x20, 0, failing + 1);
    commands.CheckVersions();
    EXPECT_THAT(console.log, ElementsAre("Get AP Version Failed!"));
    EXPECT_EQ(bus.Requests().size(), 1u + failing) << "nothing is asked after a failure";
  }
}

TEST_F(DeviceCommandsTest, CheckVersionsStopsAtTheFirstFailedQuery) {
  bus.FailRequest(0x20, 0);
  commands.CheckVersions();
  EXPECT_THAT(console.log, ElementsAre("Get AP Version Failed!"));

  bus.DetachAll();
  bus.ClearFaults();
  bus.Attach();
  bus.FailRequest(0x20, 1);
  commands.CheckVersions();
  EXPECT_THAT(console.log, ElementsAre("AP Version(2,1,0,0)"));

  bus.DetachAll();
  bus.ClearFaults();
  bus.Attach();
  bus.FailRequest(0x20, 2);
  commands.CheckVersions();
  EXPECT_THAT(console.log, ElementsAre("AP Version(2,1,0,0)", "F/W Version(1,2,3,4) [Corvane]"));
}

TEST_F(DeviceCommandsTest, ShowIspVersionLogsAndRetitles) {
  commands.ShowIspVersion();
  EXPECT_THAT(console.log, ElementsAre("ISP Version(1,2,3,4)"));
  EXPECT_EQ(console.caption, "ISP 2860 [5.5.2] - [1.2.3.4]");

  context.productVersion = ProductVersion{(5u << 16) | 5u, 7u};
  camera.ispVersion = {200, 0, 255, 9, 0, 0, 0, 0};
  commands.ShowIspVersion();
  EXPECT_EQ(console.caption, "ISP 2860 [5.5.0.7] - [200.0.255.9]");
}

TEST_F(DeviceCommandsTest, AFailedIspVersionKeepsTheCaption) {
  console.SetCaption("ISP 2860 [5.5.2]");
  bus.FailRequest(0x20, 1);
  commands.ShowIspVersion();
  EXPECT_THAT(console.log, ElementsAre("Get ISP Version Failed!"));
  EXPECT_EQ(console.caption, "ISP 2860 [5.5.2]");
}

}  // namespace
}  // namespace bb
