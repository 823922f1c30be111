#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "common/control_ids.h"
#include "common/steps.h"
#include "support/test_host.h"

namespace bb {
namespace {

// Every fault the simulated camera offers, at every request and transfer of a
// verified burn and of a read-back: the run must end with its line in the log,
// the buttons enabled again and nothing left open.
struct Fault {
  std::string name;
  std::function<void(sim::SimBus&)> inject;
};

std::vector<Fault> AllFaults() {
  std::vector<Fault> faults;
  const std::vector<std::pair<std::uint8_t, int>> requests = {
      {0x70, 0},      {0xFD, 0x04F3}, {0xFD, 0x04F1}, {0xFD, 0x04F2}, {0x21, 0}, {0x21, 4},
      {0x71, 0},      {0x11, 0},      {0x20, 1},      {0x33, 0},      {0x33, 1}, {0x79, 0x0B},
  };
  for (const auto& [code, value] : requests) {
    for (const std::uint32_t nth : {1u, 2u}) {
      faults.push_back({"request " + std::to_string(code) + "/" + std::to_string(value) + " #" +
                            std::to_string(nth),
                        [code = code, value = value, nth](sim::SimBus& bus) {
                          bus.FailRequest(code, static_cast<std::uint16_t>(value), nth);
                        }});
    }
  }
  for (std::uint32_t nth = 1; nth <= 4; ++nth) {
    faults.push_back({"write fails #" + std::to_string(nth), [nth](sim::SimBus& bus) { bus.FailWrite(nth); }});
    faults.push_back({"write short #" + std::to_string(nth), [nth](sim::SimBus& bus) { bus.ShortWrite(nth); }});
  }
  for (std::uint32_t nth = 1; nth <= 2; ++nth) {
    faults.push_back({"read fails #" + std::to_string(nth), [nth](sim::SimBus& bus) { bus.FailRead(nth); }});
    faults.push_back({"read short #" + std::to_string(nth), [nth](sim::SimBus& bus) { bus.ShortRead(nth); }});
    faults.push_back({"read stalls #" + std::to_string(nth), [nth](sim::SimBus& bus) { bus.StallRead(nth, 9000); }});
  }
  for (const char* pipe : {"PIPE00", "PIPE01"}) {
    for (const std::uint32_t nth : {1u, 3u, 6u}) {
      faults.push_back({std::string("open ") + pipe + " #" + std::to_string(nth),
                        [pipe, nth](sim::SimBus& bus) { bus.FailPipeOpen(pipe, nth); }});
    }
  }
  faults.push_back({"never returns", [](sim::SimBus& bus) { bus.NeverReturn(true); }});
  faults.push_back({"busy", [](sim::SimBus& bus) { bus.Camera().busy = true; }});
  faults.push_back({"no storage", [](sim::SimBus& bus) { bus.Camera().storagePresent = false; }});
  faults.push_back({"write fails in camera", [](sim::SimBus& bus) { bus.Camera().storageWriteResult = 2; }});
  faults.push_back({"absent", [](sim::SimBus& bus) { bus.DetachAll(); }});
  return faults;
}

const std::set<std::string> kLastLines = {
    "USB Connection Error !!!",       "  Fail!",
    "ISP Fail!",                      "ISP Busy!",
    "ISP Write File Timeout !!!",     "ISP Write File Fail.",
    "ISP Fail.  Storage not existed.", "Read Resource Fail !!!",
    "Convert BRN File Fail !!!",      "Verify Fail !!!",
    "Read Verify Success !!!",        "Export Resource Files Fail !!!",
    "Read Resource Files Success !!!", "ISP Write File OK !!!",
    "ISP Read File Fail.  Wait timeout"};

void CheckEnded(test::TestHost& host, const std::string& name) {
  SCOPED_TRACE(name);
  bool escaped = false;
  if (host.bench.arrivals.Watching()) {
    // A camera that never comes back leaves the run waiting until the operator
    // ends it with Esc, which logs nothing.
    host.bench.sequencer.FilterKey(Sequencer::kKeyDown, Sequencer::kKeyEscape);
    host.Pump();
    escaped = true;
  }
  ASSERT_FALSE(host.history.empty());
  EXPECT_EQ(host.history.back(), kStepEnd);
  EXPECT_FALSE(host.bench.arrivals.Watching());
  for (const int id : {kIspButton, kVersionButton, kReadButton}) EXPECT_TRUE(host.controls.IsEnabled(id));
  ASSERT_FALSE(host.console.log.empty());
  if (!escaped) {
    EXPECT_EQ(kLastLines.count(host.console.log.back()), 1u) << host.console.log.back();
  }
  EXPECT_EQ(host.bus.OpenHandles(), 0u);
  EXPECT_EQ(host.timers.LiveTimers(), 0u);
  EXPECT_EQ(host.timers.FineResolutionHeld(), 0);
}

TEST(FaultSweepTest, AVerifiedBurnEndsCleanlyUnderEveryFault) {
  for (const Fault& fault : AllFaults()) {
    test::TestHost host;
    host.bus.Attach().stage = 0;
    host.WriteSampleJob(test::TestHost::SampleContent());
    host.controls.checked[kSilentModeCheck] = true;
    host.controls.checked[kReadVerifyCheck] = true;
    host.context.settings.AutoPowerDown2860 = 1;
    fault.inject(host.bus);
    host.bench.burn.StartBurn();
    host.Pump();
    CheckEnded(host, "burn, " + fault.name);
  }
}

TEST(FaultSweepTest, AReadBackEndsCleanlyUnderEveryFault) {
  for (const Fault& fault : AllFaults()) {
    test::TestHost host;
    test::TempFolder out;
    sim::SimCamera& camera = host.bus.Attach();
    camera.stage = 0;
    host.WriteSampleJob(test::TestHost::SampleContent());
    camera.storage[0] = host.firmware;
    host.prompts.ScriptFolder(out.Text());
    fault.inject(host.bus);
    host.bench.sequencer.StartReadBackFromButton();
    host.Pump();
    CheckEnded(host, "read-back, " + fault.name);
  }
}

}  // namespace
}  // namespace bb
