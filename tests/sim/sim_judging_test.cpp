// The simulated camera judges what it is sent as a camera and its driver
// would, so that a tool that sends the wrong thing fails here too.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "device/request_block.h"
#include "device/status_codes.h"
#include "device/usb_pipes.h"
#include "support/device_rig.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SimJudgingTest : public ::testing::Test, protected test::DeviceRig {
 protected:
  sim::SimCamera& camera = bus.Attach("cam");

  // Hands a block of any size to the driver, as a tool of another build might.
  bool Send(std::span<std::uint8_t> block, std::uint32_t code = kIoctlVendorRequest) {
    UsbPipes pipes(bus);
    const DeviceTransport::Handle pipe = pipes.OpenPipe(UsbPipes::kRequestSlot);
    const bool ok = bus.IoControl(pipe, code, block);
    bus.Close(pipe);
    return ok;
  }
};

TEST_F(SimJudgingTest, ARequestOutsideTheCamerasCommandsIsRefused) {
  std::array<std::uint8_t, 8> reply{};
  EXPECT_EQ(link.VendorIn(0x20, 1, 0, 7, reply), kRequestFailed);
  EXPECT_EQ(link.VendorIn(0x70, 0, 0, 8, reply), kRequestFailed);
  EXPECT_EQ(link.VendorOut(0x79, 0x000B, 0, 8, reply), kRequestFailed);
  EXPECT_EQ(link.VendorNoData(0x35, 0, 0), kRequestFailed);
  EXPECT_EQ(link.VendorIn(0x20, 0, 5, 1, reply), kRequestFailed);
  EXPECT_THAT(camera.refusals,
              ElementsAre("request 20/0001/0: wLength 7, the command has 8",
                          "request 70/0000/0: wLength 8, the command has 5",
                          "request 79/000b/0: direction 0, the command has 1",
                          "request 35/0000/0: no such command",
                          "request 20/0000/5: no such command"));
  // Every command of the camera, as the tool sends it, passes.
  camera.refusals.clear();
  EXPECT_EQ(link.VendorIn(0x20, 0, 4, 1, reply), kOk);
  EXPECT_EQ(link.VendorIn(0x70, 0, 0, 5, reply), kOk);
  EXPECT_EQ(link.VendorNoData(0x34, 0, 0), kOk);
  EXPECT_THAT(camera.refusals, IsEmpty());
}

TEST_F(SimJudgingTest, TheDriverTakesOnlyTheBlockOfThisProgramsWidthWithItsConventions) {
  std::array<std::uint8_t, 5> reply{};
  std::uint32_t lengthCell = 5;
  RequestBlock request;
  request.bRequest = 0x70;
  request.dataAddress = reply.data();
  request.lengthAddress = &lengthCell;
  request.direction = RequestBlock::kDeviceToHost;
  auto block = request.Encode();
  ASSERT_TRUE(Send(block));

  // The 28 bytes that an earlier 64-bit build sent, or 20 from a 64-bit one.
  std::vector<std::uint8_t> wrongSize(block.begin(), block.end());
  wrongSize.resize(sizeof(void*) == 8 ? 28 : 32);
  EXPECT_FALSE(Send(wrongSize));
  // A reserved byte that is not zero; a length cell with more than a length.
  block[RequestBlock::kDirectionOffset + 1] = 0xAA;
  EXPECT_FALSE(Send(block));
  block = request.Encode();
  lengthCell = 0x10005;
  EXPECT_FALSE(Send(block));

  // Without a data stage the data address shows a copy of wValue.
  const std::uint32_t noLength = 0;
  std::uint16_t valueCell = 0;
  RequestBlock powerDown;
  powerDown.bRequest = 0x34;
  powerDown.dataAddress = &valueCell;
  powerDown.lengthAddress = &noLength;
  auto noData = powerDown.Encode();
  EXPECT_TRUE(Send(noData));
  valueCell = 1;
  EXPECT_FALSE(Send(noData));

  EXPECT_THAT(camera.refusals,
              ElementsAre(testing::StartsWith("a block of "),
                          "block byte " + std::to_string(RequestBlock::kDirectionOffset + 1) +
                              " is 0xaa, not zero",
                          "length cell 0x00010005 holds more than a length",
                          "no copy of wValue behind the data address"));
  EXPECT_EQ(camera.powerDowns, 1);
}

}  // namespace
}  // namespace bb
