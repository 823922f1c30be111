// Each injected fault says whether the call it names was made, and at which
// call; a fault's name reads as the command line gives it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "sim/named_fault.h"
#include "support/device_rig.h"

namespace bb {
namespace {

using ::testing::ElementsAre;

class FaultReportTest : public ::testing::Test, protected test::DeviceRig {
 protected:
  sim::SimCamera& camera = bus.Attach("cam");
};

TEST_F(FaultReportTest, AFaultFiresOnceAtTheCallItNamesAndTheObserverIsToldThen) {
  std::vector<std::string> told;
  bus.SetFaultObserver([&](sim::SimBus::FaultId fault) {
    told.push_back(bus.FaultReports()[fault].what + " at " + std::to_string(bus.Transcript().size()));
  });
  const sim::SimBus::FaultId second = bus.FailRequest(0x20, 1, 2);
  const sim::SimBus::FaultId every = bus.FailRequest(0x21, std::nullopt, 0);
  const sim::SimBus::FaultId never = bus.FailRequest(0x70, std::nullopt, 1);
  const sim::SimBus::FaultId busy = sim::InjectNamedFault(bus, 0, *sim::ParseNamedFault("busy"));
  std::array<std::uint8_t, 8> reply{};
  EXPECT_EQ(link.VendorIn(0x20, 1, 0, 8, reply), 0);
  EXPECT_NE(link.VendorIn(0x20, 1, 0, 8, reply), 0);
  EXPECT_NE(link.VendorIn(0x21, 0, 0, 1, reply), 0);
  EXPECT_NE(link.VendorIn(0x21, 0, 0, 1, reply), 0);
  EXPECT_FALSE(bus.Fired(busy)) << "a busy camera whose answer never came showed nothing";
  bus.ClearFaults();
  EXPECT_EQ(link.VendorIn(0x21, 0, 0, 1, reply), 0);

  const auto& reports = bus.FaultReports();
  ASSERT_TRUE(bus.Fired(second));
  EXPECT_EQ(bus.Transcript().at(*reports[second].firedAt).Describe(),
            "ioctl 0x22000c 20 wValue=1 wIndex=0 wLength=8 in failed");
  ASSERT_TRUE(bus.Fired(every));
  EXPECT_EQ(bus.Transcript().at(*reports[every].firedAt).request.bRequest, 0x21);
  EXPECT_FALSE(bus.Fired(never));
  EXPECT_EQ(told.size(), 2u) << "each fault is told of once";
  EXPECT_THAT(told, ElementsAre(reports[second].what + " at " + std::to_string(*reports[second].firedAt),
                                reports[every].what + " at " + std::to_string(*reports[every].firedAt)));
}

TEST_F(FaultReportTest, NamesReadInDecimalOrHexAndNothingElse) {
  const auto request = sim::ParseNamedFault("request:0x21/4:0x2");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->kind, sim::NamedFault::Kind::kRequest);
  EXPECT_EQ(request->code, 0x21);
  EXPECT_EQ(request->value, std::optional<std::uint16_t>(4));
  EXPECT_EQ(request->nth, 2u);
  const auto pipe = sim::ParseNamedFault("pipe-open:PIPE01:3");
  ASSERT_TRUE(pipe);
  EXPECT_EQ(pipe->pipe, "PIPE01");
  EXPECT_EQ(pipe->nth, 3u);
  const auto anyValue = sim::ParseNamedFault("request:33:1");
  ASSERT_TRUE(anyValue);
  EXPECT_EQ(anyValue->code, 33);
  EXPECT_FALSE(anyValue->value.has_value());
  for (const char* bad : {"request:0x100:1", "request:1/0x10000:1", "request:1:0", "request:1/2/3:1",
                          "write-fails:0", "write-fails:", "read-short:x", "read-stalls:-1",
                          "pipe-open:PIPE02:1", "pipe-open:PIPE00", "request:33", "Busy", "busy:1", "1:busy",
                          "write-fails:4294967296", "request:0x:1"}) {
    EXPECT_FALSE(sim::ParseNamedFault(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace bb
