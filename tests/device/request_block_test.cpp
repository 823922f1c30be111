#include "device/request_block.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "device/primitives.h"
#include "sim/sim_bus.h"

namespace bb {
namespace {

RequestBlockFields SampleFields() {
  RequestBlockFields fields;
  fields.bRequest = 0xFD;
  fields.wIndex = 0x1234;
  fields.wValue = 0x04F3;
  fields.dataAddress = 0x8877665544332211u;
  fields.lengthAddress = 0x0FEDCBA987654321u;
  fields.direction = RequestBlock::kDeviceToHost;
  return fields;
}

TEST(RequestBlockTest, The32BitBlockIsTheDriversTwentyBytes) {
  RequestBlockFields fields = SampleFields();
  fields.dataAddress = 0x44332211u;
  fields.lengthAddress = 0x87654321u;
  const std::array<std::uint8_t, 20> bytes = EncodeRequestBlock<4>(fields);
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 20>{
                       0xFD, 0x00, 0x34, 0x12, 0xF3, 0x04, 0x00, 0x00,  // request, index, value
                       0x11, 0x22, 0x33, 0x44,                          // data address
                       0x21, 0x43, 0x65, 0x87,                          // length address
                       0x01, 0x00, 0x00, 0x00}));                       // direction, padding
}

TEST(RequestBlockTest, The64BitBlockHasEightBytePointersAndIsThirtyTwoBytes) {
  const std::array<std::uint8_t, 32> bytes = EncodeRequestBlock<8>(SampleFields());
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 32>{
                       0xFD, 0x00, 0x34, 0x12, 0xF3, 0x04, 0x00, 0x00,  // request, index, value
                       0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,  // data address
                       0x21, 0x43, 0x65, 0x87, 0xA9, 0xCB, 0xED, 0x0F,  // length address
                       0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));  // direction, padding
}

TEST(RequestBlockTest, ThisProgramSendsTheBlockOfItsPointerWidth) {
  EXPECT_EQ(RequestBlock::kSize, sizeof(void*) == 4 ? 20u : 32u);
  const std::uint32_t cell = 8;
  const std::array<std::uint8_t, 4> buffer{};
  RequestBlock block;
  block.bRequest = 0x20;
  block.wIndex = 3;
  block.wValue = 1;
  block.dataAddress = buffer.data();
  block.lengthAddress = &cell;
  block.direction = RequestBlock::kDeviceToHost;
  RequestBlockFields fields;
  fields.bRequest = 0x20;
  fields.wIndex = 3;
  fields.wValue = 1;
  fields.dataAddress = reinterpret_cast<std::uintptr_t>(buffer.data());
  fields.lengthAddress = reinterpret_cast<std::uintptr_t>(&cell);
  fields.direction = RequestBlock::kDeviceToHost;
  EXPECT_EQ(block.Encode(), EncodeRequestBlock<sizeof(void*)>(fields));
}

TEST(RequestBlockTest, PutsIndexBeforeValueAndZeroesTheReservedBytes) {
  RequestBlock block;
  block.bRequest = 0xFD;
  block.wIndex = 0x1234;
  block.wValue = 0x04F3;
  block.direction = RequestBlock::kDeviceToHost;
  const auto bytes = block.Encode();
  const std::vector<std::uint8_t> head(bytes.begin(), bytes.begin() + 8);
  EXPECT_EQ(head, (std::vector<std::uint8_t>{0xFD, 0x00, 0x34, 0x12, 0xF3, 0x04, 0x00, 0x00}));
  EXPECT_EQ(bytes[RequestBlock::kDirectionOffset], 1);
  for (std::size_t i = RequestBlock::kDirectionOffset + 1; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0);
}

TEST(RequestBlockTest, ControlInCarriesTheBufferAndLengthCellAddresses) {
  sim::SimBus bus;
  bus.Attach();
  UsbPipes pipes(bus);
  std::vector<std::uint8_t> buffer(8);
  ASSERT_EQ(ControlIn(pipes, 0x20, 1, 0, 8, buffer), 0);

  const std::vector<sim::SimRequest> requests = bus.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::vector<std::uint8_t>& block = requests[0].block;
  ASSERT_EQ(block.size(), RequestBlock::kSize);
  EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + 8),
            (std::vector<std::uint8_t>{0x20, 0, 0, 0, 1, 0, 0, 0}));
  std::uintptr_t dataAddress = 0;
  for (std::size_t i = 0; i < RequestBlock::kAddressSize; ++i) {
    dataAddress |= static_cast<std::uintptr_t>(block[RequestBlock::kDataAddressOffset + i]) << (8 * i);
  }
  EXPECT_EQ(dataAddress, reinterpret_cast<std::uintptr_t>(buffer.data()));
  EXPECT_EQ(requests[0].wLength, 8) << "the length cell did not hold wLength";
  EXPECT_EQ(block[RequestBlock::kDirectionOffset], 1);
  // The camera's answer arrived in the caller's buffer.
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[3], 4);
}

}  // namespace
}  // namespace bb
