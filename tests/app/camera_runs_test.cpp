// Runs bound to their camera, and the record each run leaves for its report.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "app/main_window.h"
#include "app/run_outcome.h"
#include "app/run_report.h"
#include "common/control_ids.h"
#include "common/steps.h"
#include "platform/run_row_json.h"
#include "util/format.h"
#include "util/json_text.h"
#include "support/test_host.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class NoProcess final : public ProcessInfo {
 public:
  std::string ExecutablePath() override { return {}; }
  std::optional<ProductVersion> ReadProductVersionInfo() override { return std::nullopt; }
};

constexpr char kCamA[] = "\\\\?\\usb#camA";
constexpr char kCamB[] = "\\\\?\\usb#camB";

class CameraRunsTest : public ::testing::Test, protected test::TestHost {
 protected:
  CameraRunsTest() {
    cameraA = &bus.Attach(kCamA);
    cameraA->stage = 0;
    WriteSampleJob(SampleContent());
    controls.checked[kSilentModeCheck] = true;
    bench.runs.OnRunEnd([this](RunRecord& record) { records.push_back(record); });
  }

  // Runs what is queued, as the message loop does before it goes idle.
  void RunQueued() {
    while (auto step = steps.Take()) bench.sequencer.OnStep(*step);
  }

  long OpensOf(const std::string& path) const {
    const std::vector<std::string> lines = bus.TranscriptLines();
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.starts_with("open " + path); });
  }

  sim::SimCamera* cameraA = nullptr;
  std::vector<RunRecord> records;
};

TEST_F(CameraRunsTest, ABurnFinishesOnItsOwnCameraWhenAnotherIsPluggedInWhileItRestarts) {
  bench.burn.StartBurn();
  RunQueued();
  ASSERT_FALSE(bus.Present(0));
  // B arrives while A is away, and is enumerated after A once A is back.
  sim::SimCamera& cameraB = bus.PlugIn(kCamB);
  EXPECT_TRUE(steps.Empty());
  EXPECT_THAT(Pump(), ElementsAre(kStepArrived, kStepEnd));

  EXPECT_EQ(console.log.back(), "ISP Write File OK !!!");
  EXPECT_EQ(cameraA->storageWrites, 1);
  EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), cameraA->storage.at(0x40000).begin()));
  EXPECT_EQ(OpensOf(kCamB), 0);
  EXPECT_THAT(cameraB.ram, IsEmpty());
  EXPECT_EQ(cameraB.storageWrites, 0);

  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].command, RunCommand::kBurn);
  EXPECT_EQ(records[0].location, "1");
  EXPECT_EQ(records[0].interfacePath, kCamA);
  EXPECT_TRUE(RunSucceeded(records[0].command, console.log));
}

TEST_F(CameraRunsTest, WithoutLocationsTheArrivalOfAnotherCameraTakesTheStorageWrite) {
  // What the binding mends: a driver that cannot tell where cameras are
  // leaves every request to the camera enumerated last.
  bus.HideLocations(true);
  bench.burn.StartBurn();
  RunQueued();
  sim::SimCamera& cameraB = bus.PlugIn(kCamB);
  EXPECT_THAT(Pump(), ElementsAre(kStepArrived, kStepEnd));
  EXPECT_EQ(cameraA->storageWrites, 0);
  EXPECT_EQ(cameraB.storageWrites, 1);
  EXPECT_EQ(records.at(0).location, "");
}

TEST_F(CameraRunsTest, ARunReportLineTellsTheWholeRun) {
  folder.Write("param.txt", "abc");
  clock.SetUtcStart(1714566896789);
  controls.checked[kReadVerifyCheck] = true;
  bench.burn.StartBurn();
  Pump();
  ASSERT_EQ(records.size(), 1u);
  RunRecord& record = records[0];
  record.succeeded = RunSucceeded(record.command, console.log);
  record.exitStatus = record.succeeded ? 0 : 1;
  record.lastLogLine = console.log.back();

  const std::string line = RunReportLine(record);
  EXPECT_TRUE(line.starts_with("{\"start\":\"2024-05-01T12:34:56.789Z\",\"end\":\"2024-05-01T12:"))
      << line;
  const std::string tail =
      ",\"command\":\"burn --verify\",\"location\":\"1\",\"interface\":\"\\\\\\\\?\\\\usb#camA\""
      ",\"serial\":\"SIM0001\",\"versions\":{\"isp\":\"1.2.3.4\"},\"files\":{\"ParamFile\":{\"path\":" +
      JsonString(folder.File("param.txt")) +
      ",\"sha256\":\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\",\"size\":3}";
  EXPECT_NE(line.find(tail), std::string::npos) << line;
  EXPECT_TRUE(line.ends_with(Format(",\"result\":\"ok\",\"exit_status\":0,"
                                    "\"last_log_line\":\"Read Verify Success !!!\","
                                    "\"duration_ms\":%llu}\n",
                                    static_cast<unsigned long long>(clock.NowMs()))))
      << line;
}

// Each run has an id of its own from its start; a verify keeps what the camera
// gave back, and the whole form of a record carries it and the log.
TEST_F(CameraRunsTest, EachRunHasItsOwnIdAndAVerifyKeepsWhatTheCameraGaveBack) {
  controls.checked[kReadVerifyCheck] = true;
  bench.burn.StartBurn();
  Pump();
  cameraA->stage = 0;
  controls.checked[kReadVerifyCheck] = false;
  bench.burn.StartBurn();
  Pump();
  ASSERT_EQ(records.size(), 2u);
  const std::regex v4("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  EXPECT_TRUE(std::regex_match(records[0].runId, v4)) << records[0].runId;
  EXPECT_TRUE(std::regex_match(records[1].runId, v4)) << records[1].runId;
  EXPECT_NE(records[0].runId, records[1].runId);

  const std::optional<FileDigest> raw = HashFile(bench.window.job.FwFile + ".raw");
  ASSERT_TRUE(raw.has_value());
  ASSERT_TRUE(records[0].readBack.has_value());
  EXPECT_EQ(ToHex(records[0].readBack->digest), ToHex(raw->digest));
  EXPECT_EQ(records[0].readBack->size, raw->size);
  EXPECT_GT(raw->size, 0u);
  // A burn without a verify reads nothing back.
  EXPECT_FALSE(records[1].readBack.has_value());

  RunRecord& record = records[0];
  EXPECT_THAT(RunReportLine(record),
              HasSubstr(",\"run_id\":\"" + record.runId +
                        "\",\"station\":null,\"operator\":null,\"slot\":null,\"command\":"));
  record.station = "line-2";
  record.slot = "C";
  record.log = {"first", "last \"one\""};
  const std::string whole = RunRowLine(RowOf(record), RowForm::kWhole);
  EXPECT_THAT(whole, HasSubstr(",\"station\":\"line-2\",\"operator\":null,\"slot\":\"C\","));
  EXPECT_TRUE(whole.ends_with(",\"read_back\":{\"sha256\":\"" + ToHex(raw->digest) +
                              Format("\",\"size\":%llu},", static_cast<unsigned long long>(raw->size)) +
                              "\"log\":[\"first\",\"last \\\"one\\\"\"]}\n"))
      << whole;
  EXPECT_EQ(RunReportLine(record).find("\"log\""), std::string::npos);
}

// The window judges a run as the command line's exit status does: a read-back
// whose export its error box stopped ends its log in success, and failed all
// the same. The next run is judged afresh.
TEST_F(CameraRunsTest, ARunThatShowedAnErrorBoxIsReportedAsFailed) {
  bench.runs.OnRunBegin([this] { errorBoxes.Forget(); });
  bench.runs.OnRunEnd([this](RunRecord& record) {
    JudgeRun(record, console.log, errorBoxes.ErrorShown());
    records.push_back(record);
  });
  cameraA->storage[0] = firmware;
  test::TempFolder out;
  for (const char* list : {"[RawA File List]\nRes_0x5.res=missing/x.bin\n", ""}) {
    out.Write("files.ini", list);
    prompts.ScriptFolder(out.Text());
    bench.sequencer.StartReadBackFromButton();
    Pump();
    EXPECT_EQ(console.log.back(), "Read Resource Files Success !!!");
  }
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(prompts.Boxes().at(0).text, "Export file error, break!");
  EXPECT_NE(RunReportLine(records[0]).find(",\"result\":\"failed\",\"exit_status\":1,"),
            std::string::npos);
  EXPECT_NE(RunReportLine(records[1]).find(",\"result\":\"ok\",\"exit_status\":0,"),
            std::string::npos);
}

TEST_F(CameraRunsTest, TheVersionButtonIsARunOfItsOwnAndAnF5RunIncludesItsCheck) {
  std::stringstream report;
  NoProcess process;
  MainWindow window(bench, process, StartupImageSite{folder.Path(), report});
  window.OnCommand(kVersionButton);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].command, RunCommand::kVersions);
  EXPECT_TRUE(records[0].versions.ap && records[0].versions.isp && records[0].versions.customer);
  EXPECT_THAT(records[0].files, IsEmpty());
  EXPECT_TRUE(RunSucceeded(RunCommand::kVersions, console.log));

  cameraA->stage = 3;
  bench.sequencer.FilterKey(Sequencer::kKeyDown, Sequencer::kKeyF5);
  Pump();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].command, RunCommand::kBurn);
  EXPECT_TRUE(records[1].versions.ap.has_value());
  EXPECT_EQ(records[1].files.size(), 3u);
}

}  // namespace
}  // namespace bb
