// The request block as a recording keeps it: the same bytes whatever the
// pointer width of the program that recorded, so that a recording of the
// 32-bit Windows program replays in a 64-bit one and the other way round.
#include "platform/record/request_view.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "device/request_block.h"

namespace bb::record {
namespace {

TEST(RequestViewTest, ABlockOfAnyWidthIsKeptInTheTwentyByteLayoutWithoutAddresses) {
  std::array<std::uint8_t, 6> stage{1, 2, 3, 4, 5, 6};
  const std::uint32_t cell = 0x00050004;  // the data stage is the first 4 bytes
  RequestBlock block;
  block.bRequest = 0x20;
  block.wIndex = 0x1234;
  block.wValue = 0x04F3;
  block.dataAddress = stage.data();
  block.lengthAddress = &cell;
  block.direction = RequestBlock::kDeviceToHost;
  const auto bytes = block.Encode();

  const RequestView view = ViewRequest(bytes);
  RequestBlockFields fields;
  fields.bRequest = 0x20;
  fields.wIndex = 0x1234;
  fields.wValue = 0x04F3;
  fields.direction = RequestBlock::kDeviceToHost;
  const auto kept = EncodeRequestBlock<4>(fields);
  EXPECT_EQ(view.block, std::vector<std::uint8_t>(kept.begin(), kept.end()));
  EXPECT_EQ(view.lengthCell, cell);
  EXPECT_TRUE(view.DeviceToHost());
  EXPECT_EQ(view.Stage().data(), stage.data());
  EXPECT_EQ(view.Stage().size(), 4u);

  // A block too short to hold its addresses is kept as it came, with no stage.
  const RequestView shortView = ViewRequest(std::span(bytes).first(12));
  EXPECT_EQ(shortView.block, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 12));
  EXPECT_TRUE(shortView.Stage().empty());
  EXPECT_FALSE(shortView.DeviceToHost());
}

}  // namespace
}  // namespace bb::record
