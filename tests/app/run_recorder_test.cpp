// The window's recordings of its runs, made against the simulated camera.
#include "app/run_recorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/record/recording_format.h"
#include "platform/record/replay.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"
#include "sim/sim_raw_image.h"
#include "support/core_bench.h"
#include "support/temp_folder.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using Command = std::vector<std::string>;

constexpr std::uint32_t kArrival = Sequencer::kDeviceArrival;

class RunRecorderTest : public ::testing::Test {
 protected:
  RunRecorderTest() {
    folder.Write("Isp.ini", "[DevNo]\nChipID=10\n[2860]\nParamFile=param.txt\nIspFile=core.bin\n"
                            "FwFile=fw.brn\n");
    folder.Write("param.txt", std::string(100, 'p'));
    folder.Write("core.bin", std::string(3000, 'c'));
    sim::ImageContent content;
    content.firmware = std::vector<std::uint8_t>(5000, 0x3C);
    folder.Write("fw.brn", sim::EncodeBrnFile(content, 0x100));
    bus.Attach().stage = 0;
    bus.SetTimePassage([this](std::uint32_t ms) { clock.Advance(ms); });
    bus.SetArrivalHandler([this](const DeviceArrival& arrival) { arrivals.Announce(arrival); });
    arrivals.SetAnnouncer([this](const DeviceArrival& arrival) {
      recorder.DeviceChange(kArrival, arrival);
      window.bench.sequencer.OnDeviceChange(kArrival, arrival);
    });
    recorder.Attach(window.bench, "BurnbenchDemo");
  }

  // A run as the window makes it: its trigger, then its steps; whenever the
  // message loop has nothing to do, the recorder hears of it first.
  void RunWindow(RunTrigger trigger, const std::function<void()>& start) {
    recorder.BeginRun(trigger);
    window.Run(start, [this] {
      recorder.OnIdle();
      return bus.ReturnCameras();
    });
  }

  record::Recording Recorded() {
    std::string error;
    std::optional<record::Recording> recording = record::ReadRecordingFile(folder.File("run.bbrec"), error);
    EXPECT_TRUE(recording) << error;
    return recording.value_or(record::Recording{});
  }

  test::TempFolder folder;
  VirtualClock clock;
  sim::SimBus bus;
  sim::SimArrivalWatch arrivals;
  RunRecorder recorder{bus, arrivals, folder.File("run.bbrec"), [this] { return clock.NowMs() * 1000; }};
  test::Bench window{recorder.Transport(), recorder.Arrivals(), clock, folder.Text()};
};

TEST_F(RunRecorderTest, EachRunReplacesTheFileWithACommandLineThatReplaysIt) {
  const std::string ini = folder.File("Isp.ini");
  RunWindow(RunTrigger::kIspButton, [this] { window.bench.burn.StartBurn(); });
  ASSERT_EQ(window.console.log.back(), "Read Verify Success !!!");
  const record::Recording burn = Recorded();
  EXPECT_EQ(burn.header.program, "BurnbenchDemo 0.0.0.0");
  EXPECT_THAT(burn.header.commands, ElementsAre(Command{"--ini", ini, "burn", "--verify"}));
  ASSERT_EQ(burn.header.images.size(), 3u);
  EXPECT_EQ(burn.header.images[2].path, folder.File("fw.brn"));
  EXPECT_EQ(burn.header.images[2].digest, HashFile(folder.File("fw.brn"))->digest);
  EXPECT_FALSE(burn.exitStatus);

  // What the command-line program runs for that command line makes the same
  // calls: a fresh core with Read Verify checked, against the recording.
  VirtualClock replayClock;
  record::Replay replay(burn, replayClock);
  test::Bench again(replay, replay, replayClock, folder.Text());
  replay.OnDeviceChange([&again](std::uint32_t event, const DeviceArrival& arrival) {
    again.bench.sequencer.OnDeviceChange(event, arrival);
  });
  again.BurnAndVerify([&replay] { return replay.DeliverDeviceChange(); });
  replay.Finish();
  EXPECT_EQ(replay.Divergence(), "");
  EXPECT_EQ(again.console.log, window.console.log);

  // The F5 key checks the versions, then burns; its recording replaces the burn's.
  RunWindow(RunTrigger::kF5Key, [this] { window.bench.sequencer.FilterKey(Sequencer::kKeyDown, Sequencer::kKeyF5); });
  const record::Recording key = Recorded();
  EXPECT_THAT(key.header.commands, ElementsAre(Command{"--ini", ini, "versions"},
                                               Command{"--ini", ini, "burn", "--verify"}));
  EXPECT_NE(key.calls.size(), burn.calls.size());

  // Calls outside a run leave the last run's recording alone.
  const std::vector<std::uint8_t> kept = folder.Read("run.bbrec");
  window.bench.commands.CheckVersions();
  EXPECT_EQ(folder.Read("run.bbrec"), kept);

  RunWindow(RunTrigger::kReadButton, [this] { window.bench.sequencer.StartReadBackFromButton(); });
  EXPECT_THAT(Recorded().header.commands, ElementsAre(Command{"--ini", ini, "read"}));
}

TEST_F(RunRecorderTest, ARecordingThatCannotBeMadeLeavesTheRunAlone) {
  std::filesystem::create_directory(folder.Path() / "run.bbrec");
  RunWindow(RunTrigger::kIspButton, [this] { window.bench.burn.StartBurn(); });
  EXPECT_EQ(window.console.log.back(), "Read Verify Success !!!");
  EXPECT_TRUE(window.BoxTexts().empty());
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "run.bbrec"));
}

TEST_F(RunRecorderTest, ARecordFileThatIsTheJobsFirmwareIsLeftAlone) {
  const std::vector<std::uint8_t> firmware = folder.Read("fw.brn");
  folder.Write("run.bbrec", firmware);
  folder.Write("Isp.ini", "[DevNo]\nChipID=10\n[2860]\nParamFile=param.txt\nIspFile=core.bin\n"
                          "FwFile=run.bbrec\n");
  RunWindow(RunTrigger::kIspButton, [this] { window.bench.burn.StartBurn(); });
  EXPECT_EQ(window.console.log.back(), "Read Verify Success !!!");
  EXPECT_EQ(folder.Read("run.bbrec"), firmware);
}

TEST(RecordFileSettingTest, TheFileIsFoundAsImageFilesAre) {
  test::TempFolder folder;
  test::NativeProfile profile;
  EXPECT_EQ(RecordFileSetting(profile, folder.Text()), "");
  folder.Write("Isp.ini", "[Record]\nFile=sub/run.bbrec\n");
  EXPECT_EQ(RecordFileSetting(profile, folder.Text()), folder.File("run.bbrec"));
#if defined(_WIN32)
  const std::string absolute = "C:\\records\\run.bbrec";
#else
  const std::string absolute = "/records/run.bbrec";
#endif
  folder.Write("Isp.ini", "[Record]\nFile=" + absolute + "\n");
  EXPECT_EQ(RecordFileSetting(profile, folder.Text()), absolute);
}

}  // namespace
}  // namespace bb
