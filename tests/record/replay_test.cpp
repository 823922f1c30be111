// A run of the whole core recorded against the simulated camera, then run
// again against the recording alone.
#include "platform/record/replay.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/record/recording_format.h"
#include "platform/record/recording_transport.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"
#include "sim/sim_raw_image.h"
#include "support/core_bench.h"
#include "support/temp_folder.h"

namespace bb::record {
namespace {

using ::testing::HasSubstr;
using test::Bench;

constexpr std::uint32_t kArrival = Sequencer::kDeviceArrival;

class ReplayTest : public ::testing::Test {
 protected:
  ReplayTest() {
    folder.Write("Isp.ini", "[DevNo]\nChipID=10\n[2860]\nParamAddress2860=0x1000\nCoreAddress2860=0x2000\n"
                            "DramAddress2860=0x300000\nParamFile=param.txt\nIspFile=core.bin\nFwFile=fw.brn\n");
    folder.Write("param.txt", std::string(100, 'p'));
    folder.Write("core.bin", std::string(3000, 'c'));
    sim::ImageContent content;
    content.groupA = {{5, std::vector<std::uint8_t>(40, 0xA5)}};
    content.firmware = std::vector<std::uint8_t>(70000, 0x3C);
    folder.Write("fw.brn", sim::EncodeBrnFile(content, 0x100));
  }

  // The burn with read verify against a camera whose first bulk read stalls
  // beyond the watchdog, recorded on the virtual clock.
  Recording RecordStalledVerify() {
    VirtualClock clock;
    sim::SimBus bus;
    sim::SimArrivalWatch arrivals;
    RecordingWriter writer;
    const MicrosecondClock now = [&clock] { return clock.NowMs() * 1000; };
    RecordingTransport transport(bus, writer, now);
    RecordingArrivalWatch watch(arrivals, writer, now);
    Bench recorded(transport, watch, clock, folder.Text());
    sim::SimCamera& camera = bus.Attach();
    camera.stage = 0;
    bus.SetTimePassage([&clock](std::uint32_t ms) { clock.Advance(ms); });
    bus.StallRead(1, 6000);
    bus.SetArrivalHandler([&arrivals](const DeviceArrival& arrival) { arrivals.Announce(arrival); });
    arrivals.SetAnnouncer([&](const DeviceArrival& arrival) {
      watch.RecordDeviceChange(kArrival, arrival);
      recorded.bench.sequencer.OnDeviceChange(kArrival, arrival);
    });
    RecordingHeader header;
    header.commands = {{"burn", "--verify"}};
    EXPECT_TRUE(writer.Open(folder.File("run.bbrec"), header, 0));
    recorded.BurnAndVerify([&bus] { return bus.ReturnCameras(); });
    EXPECT_TRUE(writer.Close(0));
    log = recorded.console.log;
    boxes = recorded.BoxTexts();
    endedAtMs = clock.NowMs();
    std::string error;
    std::optional<Recording> recording = ReadRecordingFile(folder.File("run.bbrec"), error);
    EXPECT_TRUE(recording) << error;
    return recording.value_or(Recording{});
  }

  test::TempFolder folder;
  std::vector<std::string> log;
  std::vector<std::string> boxes;
  std::uint64_t endedAtMs = 0;
};

TEST_F(ReplayTest, AStalledReadComesBackWithItsBoxAtItsTime) {
  const Recording recording = RecordStalledVerify();
  ASSERT_THAT(boxes, ::testing::Contains(HasSubstr("Bulk READFILE Time Out error.")));

  VirtualClock clock;
  Replay replay(recording, clock);
  Bench again(replay, replay, clock, folder.Text());
  replay.OnDeviceChange([&again](std::uint32_t event, const DeviceArrival& arrival) {
    again.bench.sequencer.OnDeviceChange(event, arrival);
  });
  again.BurnAndVerify([&replay] { return replay.DeliverDeviceChange(); });
  replay.Finish();

  EXPECT_EQ(replay.Divergence(), "");
  EXPECT_EQ(again.console.log, log);
  EXPECT_EQ(again.BoxTexts(), boxes);
  EXPECT_EQ(clock.NowMs(), endedAtMs);
  EXPECT_GE(clock.NowMs(), 6000u);
}

TEST_F(ReplayTest, TheFirstCallThatDiffersStopsTheReplayAndEveryLaterCallFails) {
  const Recording recording = RecordStalledVerify();
  // Another parameter address goes out in the first download header.
  folder.Write("Isp.ini", "[DevNo]\nChipID=10\n[2860]\nParamAddress2860=0x1100\nCoreAddress2860=0x2000\n"
                          "DramAddress2860=0x300000\nParamFile=param.txt\nIspFile=core.bin\nFwFile=fw.brn\n");
  std::size_t header = 0;
  while (recording.calls.at(header).sent.empty()) ++header;

  VirtualClock clock;
  Replay replay(recording, clock);
  std::vector<std::string> reported;
  replay.OnDivergence([&reported](const std::string& message) { reported.push_back(message); });
  Bench again(replay, replay, clock, folder.Text());
  again.BurnAndVerify([&replay] { return replay.DeliverDeviceChange(); });
  replay.Finish();

  ASSERT_EQ(reported.size(), 1u);
  EXPECT_THAT(reported[0], HasSubstr("the replay stops at call " + std::to_string(header + 1) +
                                     ": recorded IoControl 0x22000c"));
  EXPECT_THAT(reported[0], HasSubstr("sending 8 bytes: 00 10 00 00 64 00 00 00;"));
  EXPECT_THAT(reported[0], HasSubstr("asked IoControl 0x22000c"));
  EXPECT_THAT(reported[0], HasSubstr("sending 8 bytes: 00 11 00 00 64 00 00 00 (the data sent differs from byte 1)"));
  EXPECT_EQ(again.console.log.back(), "  Fail!");
  std::uint32_t done = 1;
  std::uint8_t byte = 0;
  EXPECT_EQ(replay.Open("anything"), DeviceTransport::kInvalidHandle);
  EXPECT_FALSE(replay.Read(1, std::span(&byte, 1), done));
  EXPECT_EQ(done, 0u);
}

TEST_F(ReplayTest, ARunThatEndsEarlyOrGoesOnTooLongParts) {
  Recording recording = RecordStalledVerify();
  {
    VirtualClock clock;
    Replay replay(recording, clock);
    replay.Finish();
    EXPECT_THAT(replay.Divergence(), HasSubstr("stops at call 1: recorded OpenInterfaceSet "
                                               "{cb519fa1-e908-11d2-aadd-0060673487b7}; asked nothing "
                                               "more (the run ended)"));
  }
  recording.calls.resize(3);
  VirtualClock clock;
  Replay replay(recording, clock);
  Bench again(replay, replay, clock, folder.Text());
  again.BurnAndVerify([&replay] { return replay.DeliverDeviceChange(); });
  EXPECT_THAT(replay.Divergence(), HasSubstr("stops at call 4: recorded nothing more (the recording "
                                             "ends); asked Open \\\\?\\usb#vid_0c45"));
}

}  // namespace
}  // namespace bb::record
