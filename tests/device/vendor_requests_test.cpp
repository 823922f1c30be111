#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "device/command_table.h"
#include "device/primitives.h"
#include "device/request_block.h"
#include "device/status_codes.h"
#include "support/device_rig.h"

namespace bb {
namespace {

using ::testing::ElementsAre;

class VendorRequestsTest : public ::testing::Test, protected test::DeviceRig {};

TEST_F(VendorRequestsTest, RequestNineWithoutDataUsesItsOwnIoControl) {
  bus.Attach();
  UsbPipes pipes(bus);
  std::vector<std::uint8_t> buffer(4);
  ControlNoData(pipes, 9, 0, 0);
  ControlNoData(pipes, 0x11, 0, 0);
  ControlIn(pipes, 9, 0, 0, 4, buffer);
  ControlOut(pipes, 9, 0, 0, 4, buffer);
  const std::vector<sim::SimRequest> requests = bus.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].ioctl, kIoctlRequestNine);
  EXPECT_EQ(requests[1].ioctl, kIoctlVendorRequest);
  EXPECT_EQ(requests[2].ioctl, kIoctlVendorRequest);
  EXPECT_EQ(requests[3].ioctl, kIoctlVendorRequest);
}

TEST_F(VendorRequestsTest, NoDataRequestsPointAtACopyOfTheValueWithLengthZero) {
  bus.Attach();
  UsbPipes pipes(bus);
  ControlNoData(pipes, 0x10, 0, 0x1234);
  const sim::SimRequest request = bus.Requests().at(0);
  EXPECT_EQ(request.wIndex, 0x1234);
  EXPECT_EQ(request.wLength, 0);
  EXPECT_EQ(request.direction, 0);
  EXPECT_NE(request.block[RequestBlock::kDataAddressOffset] |
                request.block[RequestBlock::kDataAddressOffset + 1],
            0)
      << "a request without data stage still carries a data address";
}

TEST_F(VendorRequestsTest, AbsentCameraIs21FromThePrimitiveAnd22FromTheWrapper) {
  UsbPipes pipes(bus);
  std::vector<std::uint8_t> buffer(8);
  EXPECT_EQ(ControlIn(pipes, 0x20, 1, 0, 8, buffer), kNoPipe);
  EXPECT_EQ(ControlOut(pipes, 0xFD, 0x04F3, 0, 8, buffer), kNoPipe);
  EXPECT_EQ(ControlNoData(pipes, 0x34, 0, 0), kNoPipe);
  EXPECT_EQ(link.VendorIn(0x20, 1, 0, 8, buffer), kRequestFailed);
  EXPECT_EQ(link.VendorOut(0xFD, 0x04F3, 0, 8, buffer), kRequestFailed);
  EXPECT_EQ(link.VendorNoData(0x34, 0, 0), kRequestFailed);
}

TEST_F(VendorRequestsTest, AFailedIoControlIs22AndTheHandleIsClosed) {
  bus.Attach();
  bus.FailRequest(0x20);
  UsbPipes pipes(bus);
  std::vector<std::uint8_t> buffer(8);
  EXPECT_EQ(ControlIn(pipes, 0x20, 1, 0, 8, buffer), kRequestFailed);
  EXPECT_EQ(link.VendorIn(0x20, 1, 0, 8, buffer), kRequestFailed);
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

TEST_F(VendorRequestsTest, EachWrapperCallFindsTheCameraAndOpensTheRequestPipeOnce) {
  bus.Attach("cam");
  std::vector<std::uint8_t> buffer(8);
  ASSERT_EQ(link.VendorIn(0x20, 1, 0, 8, buffer), kOk);
  EXPECT_THAT(bus.TranscriptLines(),
              ElementsAre("enumerate", "open cam", "close cam", "open cam\\PIPE00",
                          "ioctl 0x22000c 20 wValue=1 wIndex=0 wLength=8 in", "close cam\\PIPE00"));
}

TEST_F(VendorRequestsTest, ABufferSmallerThanTheLengthIsRefusedBeforeAnythingIsSent) {
  bus.Attach();
  UsbPipes pipes(bus);
  std::vector<std::uint8_t> buffer(4);
  EXPECT_EQ(ControlIn(pipes, 0x20, 1, 0, 8, buffer), kRequestFailed);
  EXPECT_TRUE(bus.Transcript().empty());
}

struct TableRow {
  const char* name;
  Command command;
  std::uint8_t direction;
};

void PrintTo(const TableRow& row, std::ostream* out) { *out << row.name; }

class CommandTableBlockTest : public ::testing::TestWithParam<TableRow> {};

TEST_P(CommandTableBlockTest, SendsTheBlockBytesOfItsRow) {
  test::DeviceRig rig;
  rig.bus.Attach();
  const Command command = GetParam().command;
  std::vector<std::uint8_t> buffer(16);
  UsbPipes pipes(rig.bus);
  if (GetParam().direction == 1) {
    ControlIn(pipes, command.bRequest, command.wValue, command.wIndex, command.wLength, buffer);
  } else if (command.wLength > 0) {
    ControlOut(pipes, command.bRequest, command.wValue, command.wIndex, command.wLength, buffer);
  } else {
    ControlNoData(pipes, command.bRequest, command.wValue, command.wIndex);
  }
  const sim::SimRequest request = rig.bus.Requests().at(0);
  const std::vector<std::uint8_t> head(request.block.begin(), request.block.begin() + 8);
  EXPECT_EQ(head, (std::vector<std::uint8_t>{command.bRequest, 0, 0, 0,
                                             static_cast<std::uint8_t>(command.wValue & 0xFF),
                                             static_cast<std::uint8_t>(command.wValue >> 8), 0, 0}));
  EXPECT_EQ(request.wLength, command.wLength);
  EXPECT_EQ(request.block[RequestBlock::kDirectionOffset], GetParam().direction);
}

INSTANTIATE_TEST_SUITE_P(
    AllCommands, CommandTableBlockTest,
    ::testing::Values(TableRow{"StageQuery", CommandTable::StageQuery, 1},
                      TableRow{"ApVersionQuery", CommandTable::ApVersionQuery, 1},
                      TableRow{"IspVersionQuery", CommandTable::IspVersionQuery, 1},
                      TableRow{"CustomerVersionQuery", CommandTable::CustomerVersionQuery, 1},
                      TableRow{"BusyQuery", CommandTable::BusyQuery, 1},
                      TableRow{"WriteStatusQuery", CommandTable::WriteStatusQuery, 1},
                      TableRow{"RamDownloadHeader", CommandTable::RamDownloadHeader, 0},
                      TableRow{"IspWriteHeader", CommandTable::IspWriteHeader, 0},
                      TableRow{"ReadRequest", CommandTable::ReadRequest, 0},
                      TableRow{"BlockCountRequest", CommandTable::BlockCountRequest, 0},
                      TableRow{"StartStorageWrite", CommandTable::StartStorageWrite, 0},
                      TableRow{"RomAddressRequest", CommandTable::RomAddressRequest, 0},
                      TableRow{"ReadSelectRequest", CommandTable::ReadSelectRequest, 0},
                      TableRow{"PowerDownRequest", CommandTable::PowerDownRequest, 0},
                      TableRow{"ReadInfoRequest", CommandTable::ReadInfoRequest, 1}),
    [](const ::testing::TestParamInfo<TableRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace bb
