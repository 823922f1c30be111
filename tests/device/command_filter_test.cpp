#include <gtest/gtest.h>

#include <vector>

#include "device/device_link.h"
#include "device/status_codes.h"
#include "support/device_rig.h"

namespace bb {
namespace {

TEST(CommandFilterTest, Verdicts) {
  EXPECT_EQ(CommandFilter(0xFF, 0xFFFF), kOk);
  EXPECT_EQ(CommandFilter(0xFF, 0), kOk);
  EXPECT_EQ(CommandFilter(0x44, 0), kOk);
  EXPECT_EQ(CommandFilter(0x44, 1), kOk);
  EXPECT_EQ(CommandFilter(0x44, 2), kOk);
  EXPECT_EQ(CommandFilter(0x44, 3), kRefused);
  EXPECT_EQ(CommandFilter(0x20, 0), kSend);
  EXPECT_EQ(CommandFilter(0xFD, 0x04F3), kSend);
}

TEST(CommandFilterTest, FilteredRequestsNeverReachTheDevice) {
  test::DeviceRig rig;
  rig.bus.Attach();
  std::vector<std::uint8_t> buffer(8);
  EXPECT_EQ(rig.link.VendorIn(0xFF, 0xFFFF, 0, 8, buffer), kOk);
  EXPECT_EQ(rig.link.VendorOut(0x44, 1, 0, 8, buffer), kOk);
  EXPECT_EQ(rig.link.VendorNoData(0x44, 2, 0), kOk);
  EXPECT_EQ(rig.link.VendorNoData(0x44, 7, 0), kRefused);
  EXPECT_TRUE(rig.bus.Transcript().empty());
}

}  // namespace
}  // namespace bb
