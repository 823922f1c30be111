#include "station/station.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/virtual/event_time.h"
#include "station/slot_plan.h"

namespace bb {
namespace {

// The bus as the test arranges it: location -> serial.
class TestSurvey final : public CameraSurvey {
 public:
  std::vector<SeenCamera> Look() override {
    std::vector<SeenCamera> seen;
    for (const auto& [location, serial] : cameras) seen.push_back(SeenCamera{location, "path-" + location, serial});
    return seen;
  }
  bool HeldByOther(const SeenCamera& camera) override { return held.count(camera.location) != 0; }

  std::map<std::string, std::string> cameras;
  std::set<std::string> held;
};

class TestImages final : public ImageSupply {
 public:
  std::string Refresh() override { return notReady; }
  std::string Firmware() override { return "fw.brn"; }
  std::string PinPrefix() override { return "0123456789ab"; }
  std::string notReady;
};

// Runs started are kept for the test to move on and end.
class TestLauncher final : public RunLauncher {
 public:
  void Launch(const RunOrder& order, RunWatcher& watcher) override {
    orders.push_back(order);
    watchers.push_back(&watcher);
  }
  std::vector<RunOrder> orders;
  std::vector<RunWatcher*> watchers;
};

// The records as the test arranges them: serial -> the earlier pass.
class TestPasses final : public PassRecords {
 public:
  std::optional<EarlierPass> PassedBefore(const std::string& serial) override {
    asked.push_back(serial);
    const auto found = passed.find(serial);
    if (found == passed.end()) return std::nullopt;
    return found->second;
  }
  std::string KeepDoneBefore(const RunOrder& order, const EarlierPass&, const std::string& line) override {
    kept.push_back(order.label + ":" + order.camera.serial + ": " + line);
    return "kept-" + std::to_string(kept.size());
  }
  std::map<std::string, EarlierPass> passed;
  std::vector<std::string> asked;
  std::vector<std::string> kept;
};

// Every slot's state as the feed last told it, and the runs it told of.
class Views final : public StationListener {
 public:
  void OnSnapshot(const StationSnapshot& snapshot, std::uint64_t) override { slots = snapshot.slots; }
  void OnEvent(const StationEvent& event) override {
    if (event.kind == StationEvent::Kind::kSlot) {
      if (event.slot == slots.size()) slots.push_back(event.slotView);
      slots.at(event.slot) = event.slotView;
      states[event.slotView.label].push_back(SlotStateText(event.slotView.state));
    }
    if (event.kind == StationEvent::Kind::kStrays) strays = event.strays;
    if (event.kind == StationEvent::Kind::kHeader) header = event.header;
    if (event.kind == StationEvent::Kind::kRunEnded) runs.push_back(event.run);
  }
  const SlotView& Slot(const std::string& label) const {
    for (const SlotView& view : slots) {
      if (view.label == label) return view;
    }
    throw std::out_of_range(label);
  }
  std::vector<SlotView> slots;
  std::vector<StrayCamera> strays;
  StationHeader header;
  std::map<std::string, std::vector<std::string>> states;
  std::vector<RunEnded> runs;
};

class StationTest : public ::testing::Test {
 protected:
  void Open(std::vector<SlotPlace> slots, PassRecords* passes = nullptr) {
    feed.Subscribe(views);
    StationSetup setup{"line-1", "ana", std::move(slots), 3000, 250, Intake::kArrivals, passes};
    station.emplace(setup, survey, images, launcher, time, feed);
    station->Start();
  }
  // Lets `ms` of the station's time pass, looking at the bus as it does.
  void Pass(std::uint64_t ms) {
    const std::uint64_t end = time.NowMs() + ms;
    while (time.NowMs() < end) {
      time.SleepUntil(std::min(end, time.NowMs() + 250));
      station->Look();
    }
  }
  void End(std::size_t run, bool passed, const std::string& lastLine) {
    launcher.watchers.at(run)->Ended(RunWatcher::Outcome{passed, 20'000, lastLine, "run-" + std::to_string(run)});
  }
  std::vector<std::string> Burned() const {
    std::vector<std::string> burned;
    for (const RunOrder& order : launcher.orders) burned.push_back(order.label + ":" + order.camera.serial);
    return burned;
  }

  EventTime time;
  SharedTime::Member self{time};
  TestSurvey survey;
  TestImages images;
  TestLauncher launcher;
  StationFeed feed;
  Views views;
  std::optional<Station> station;
};

// One camera through one slot: burned once on arrival; its restart, a power
// down and a replug within the grace burn nothing; a replug after the grace
// burns it again; a quick swap to another serial burns at once; a camera
// without a serial is never taken for another one within the grace.
TEST_F(StationTest, ASlotBurnsACameraOnceUntilItStandsEmptyForTheGraceOrAnotherSerialComes) {
  Open({{"A", "1-1.2"}});
  Pass(1000);
  survey.cameras["1-1.2"] = "SN1";
  Pass(250);
  ASSERT_EQ(Burned(), std::vector<std::string>{"A:SN1"});
  launcher.watchers[0]->Progress(SlotState::kWaitingForReturn, -1);
  survey.cameras.erase("1-1.2");  // its restart belongs to the run
  Pass(5000);
  survey.cameras["1-1.2"] = "SN1";
  Pass(500);
  End(0, true, "Read Verify Success !!!");
  EXPECT_EQ(views.Slot("A").state, SlotState::kPassed);
  EXPECT_EQ(views.Slot("A").detail, "Read Verify Success !!!");

  survey.cameras.erase("1-1.2");  // it powers down after its burn
  Pass(1000);
  survey.cameras["1-1.2"] = "SN1";  // and comes back at once
  Pass(1000);
  EXPECT_EQ(Burned().size(), 1u);
  EXPECT_EQ(views.Slot("A").state, SlotState::kPassed) << "the result stays until the next run";
  EXPECT_EQ(views.Slot("A").note, "back within 3 s: not burned again; unplug it for 3 s to burn it");

  survey.cameras.erase("1-1.2");
  Pass(3000);
  survey.cameras["1-1.2"] = "SN1";
  Pass(250);
  EXPECT_EQ(Burned(), (std::vector<std::string>{"A:SN1", "A:SN1"})) << "plugged in again after the grace";
  End(1, true, "ISP Write File OK !!!");

  survey.cameras["1-1.2"] = "SN2";  // swapped between two looks
  Pass(250);
  EXPECT_EQ(Burned().back(), "A:SN2");
  End(2, false, "ISP Busy!");
  EXPECT_EQ(views.Slot("A").state, SlotState::kFailed);
  EXPECT_EQ(views.Slot("A").detail, "ISP Busy!");

  survey.cameras.erase("1-1.2");
  Pass(500);
  survey.cameras["1-1.2"] = "";  // a camera without a serial, within the grace
  Pass(5000);
  EXPECT_EQ(Burned().size(), 3u);
  survey.cameras.erase("1-1.2");
  Pass(3000);
  survey.cameras["1-1.2"] = "";
  Pass(250);
  EXPECT_EQ(Burned().back(), "A:");
  EXPECT_EQ(views.states["A"].front(), "empty");
  EXPECT_EQ(views.header.passed, 2u);
  EXPECT_EQ(views.header.failed, 1u);
}

// Cameras present at the start wait to be plugged in again; a camera at no
// slot is left alone; a held camera and a station that is not ready touch
// nothing until they clear; a serial seen at two slots at once is flagged.
TEST_F(StationTest, CamerasThatCannotBeBurnedYetAreShownWithWhyAndBurnedOnceTheyCan) {
  survey.cameras = {{"1", "OLD"}, {"9", "STRAY"}};
  Open({{"A", "1"}, {"B", "2"}, {"C", "3"}});
  Pass(5000);
  EXPECT_TRUE(launcher.orders.empty());
  EXPECT_EQ(views.Slot("A").state, SlotState::kPresentAtStart);
  ASSERT_EQ(views.strays.size(), 1u);
  EXPECT_EQ(views.strays[0].location, "9");

  survey.held.insert("2");
  survey.cameras["2"] = "SN2";
  images.notReady = "fw.brn does not match FwSha256";
  survey.cameras["3"] = "SN3";
  Pass(1000);
  EXPECT_EQ(views.Slot("B").state, SlotState::kNotReady);
  EXPECT_EQ(views.Slot("C").detail, "fw.brn does not match FwSha256");
  EXPECT_EQ(views.header.notReady, "fw.brn does not match FwSha256");
  images.notReady.clear();
  Pass(250);
  EXPECT_EQ(views.Slot("B").state, SlotState::kHeld);
  EXPECT_EQ(Burned(), std::vector<std::string>{"C:SN3"});
  survey.held.clear();
  Pass(250);
  EXPECT_EQ(Burned(), (std::vector<std::string>{"C:SN3", "B:SN2"}));

  survey.cameras["1"] = "SN2";  // the old camera swapped for a twin of B's
  Pass(250);
  EXPECT_EQ(views.Slot("A").note, "serial SN2 also at slot B");
  EXPECT_EQ(views.Slot("B").note, "serial SN2 also at slot A");
  EXPECT_EQ(Burned().back(), "A:SN2") << "burned all the same";
}

// A camera unplugged in the middle of its run fails that run with its last
// line; the camera put in its place is burned at once; after the first Ctrl-C
// nothing new starts and the runs under way finish.
TEST_F(StationTest, AnUnpluggedRunFailsAndAStoppingStationTakesNoMoreCameras) {
  Open({{"A", "1"}, {"B", "2"}});
  survey.cameras = {{"1", "SN1"}, {"2", "SN2"}};
  Pass(250);
  launcher.watchers[0]->Progress(SlotState::kBurning, 40);
  EXPECT_EQ(views.Slot("A").percent, 40);
  survey.cameras.erase("1");
  Pass(250);
  End(0, false, "Write File Fail !!!");
  survey.cameras["1"] = "SN9";
  Pass(250);
  EXPECT_EQ(views.Slot("A").state, SlotState::kBurning);
  EXPECT_EQ(Burned(), (std::vector<std::string>{"A:SN1", "B:SN2", "A:SN9"}));

  station->StopTaking();
  EXPECT_TRUE(station->RunsUnderWay());
  End(1, true, "ISP Write File OK !!!");
  End(2, true, "ISP Write File OK !!!");
  survey.cameras.erase("2");
  Pass(5000);
  survey.cameras["2"] = "SN3";
  Pass(500);
  EXPECT_EQ(launcher.orders.size(), 3u);
  EXPECT_FALSE(station->RunsUnderWay());
  const std::vector<RunEnded> runs = station->Runs();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].lastLine, "Write File Fail !!!");
  EXPECT_FALSE(runs[0].passed);
  EXPECT_TRUE(views.header.stopping);
}

// A station of the cameras present (burn --all) burns each at once at a slot
// of its location, twin serials and all, and asks neither another program's
// claim nor the images first: each run finds that out itself. It takes no
// camera after them, and ends once their runs have all ended.
TEST_F(StationTest, AStationOfTheCamerasPresentBurnsThemAtOnceAndEndsWithTheirRuns) {
  survey.cameras = {{"1-2", "SN1"}, {"1-3", ""}, {"1-4", "SN1"}};
  survey.held.insert("1-3");
  images.notReady = "fw.brn does not match FwSha256";
  feed.Subscribe(views);
  station.emplace(StationSetup{"", "", {}, 3000, 250, Intake::kPresentCameras}, survey, images, launcher, time,
                  feed);
  // The runs end one after another, while the station waits for them.
  std::thread runs([this, member = SharedTime::Member(time)]() mutable {
    SharedTime::Member own = std::move(member);
    time.SleepUntil(500);
    survey.cameras["1-5"] = "SN5";
    for (std::size_t run = 0; run < 3; ++run) {
      time.SleepUntil(1000 * (run + 1));
      if (run < launcher.watchers.size()) {
        End(run, run != 1, run != 1 ? "ISP Write File OK !!!" : "USB Connection Error !!!");
      }
    }
  });
  station->Run([] { return true; });
  const std::uint64_t returnedMs = time.NowMs();
  time.SleepUntil(3000);
  runs.join();
  EXPECT_EQ(Burned(), (std::vector<std::string>{"1-2:SN1", "1-3:", "1-4:SN1"}));
  EXPECT_GE(returnedMs, 3000u) << "it ended before the last run";
  EXPECT_EQ(station->Runs().size(), 3u);
  EXPECT_EQ(views.Slot("1-3").state, SlotState::kFailed);
  EXPECT_EQ(views.Slot("1-4").state, SlotState::kPassed);
  for (const auto& [label, states] : views.states) {
    EXPECT_EQ(std::count(states.begin(), states.end(), "plug in again to burn"), 0) << label;
  }
}

TEST(SlotPlanTest, SlotsAreLabelledLocationsWithNeitherShared) {
  std::string error;
  const auto slots = ParseSlots(" A:1-1.2 , b:1-1.3,", error);
  ASSERT_TRUE(slots);
  ASSERT_EQ(slots->size(), 2u);
  EXPECT_EQ((*slots)[1].label, "b");
  EXPECT_EQ((*slots)[1].location, "1-1.3");
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"A:1,a:2", "two slots are labelled a"},
      {"A:1,B:1", "two slots are at location 1"},
      {"A:1,B", "a slot is written LABEL:LOCATION, not \"B\""},
      {"A:1,,B:2", "a slot is written LABEL:LOCATION, not \"\""},
      {":1", "a slot is written LABEL:LOCATION, not \":1\""},
      {"A\x01:1", "a slot is written LABEL:LOCATION, not \"A\x01:1\""},
  };
  for (const auto& [text, why] : refused) {
    EXPECT_FALSE(ParseSlots(text, error)) << text;
    EXPECT_EQ(error, why);
  }
}

}  // namespace
}  // namespace bb

namespace bb {
namespace {

// A camera that passed the job before is not burned again, each time it is
// plugged in, and the records keep that; a camera that the records cannot
// tell apart (no serial, or a serial two cameras show) is burned, with why.
TEST_F(StationTest, ACameraThatPassedBeforeIsNotBurnedAgainUnlessTheRecordsCannotTellItApart) {
  TestPasses passes;
  passes.passed["SN1"] = EarlierPass{"run-a", "2026-12-09 10:04:01"};
  passes.passed["SN2"] = EarlierPass{"run-b", "2026-12-09 11:00:00"};
  Open({{"A", "1"}, {"B", "2"}, {"C", "3"}}, &passes);
  survey.cameras = {{"1", "SN1"}, {"3", "SN3"}};
  Pass(250);
  EXPECT_EQ(Burned(), std::vector<std::string>{"C:SN3"});
  EXPECT_EQ(views.Slot("A").state, SlotState::kDoneBefore);
  EXPECT_EQ(views.Slot("A").detail, "passed 2026-12-09 10:04:01");
  const std::string line = "passed before at 2026-12-09 10:04:01 (run run-a): not burned again";
  EXPECT_EQ(passes.kept, std::vector<std::string>{"A:SN1: " + line});
  ASSERT_EQ(views.runs.size(), 1u);
  EXPECT_TRUE(views.runs[0].doneBefore);
  EXPECT_FALSE(views.runs[0].passed);
  EXPECT_EQ(views.runs[0].runId, "kept-1");
  EXPECT_EQ(views.runs[0].lastLine, line);
  EXPECT_EQ(views.header.doneBefore, 1u);
  EXPECT_EQ(views.header.passed + views.header.failed, 0u);

  Pass(2000);
  EXPECT_EQ(passes.kept.size(), 1u) << "asked once while it stays";
  survey.cameras.erase("1");
  Pass(3000);
  survey.cameras["1"] = "SN1";
  Pass(250);
  EXPECT_EQ(passes.kept.size(), 2u) << "plugged in again: refused again, and kept again";
  EXPECT_EQ(Burned(), std::vector<std::string>{"C:SN3"});

  survey.cameras["2"] = "";
  Pass(250);
  EXPECT_EQ(Burned().back(), "B:");
  EXPECT_EQ(views.Slot("B").note, "no serial: burned without a look at its records");
  End(1, true, "ISP Write File OK !!!");
  survey.cameras.erase("2");
  Pass(3000);
  survey.cameras["2"] = "SN2";  // passed before, but C shows that serial too
  survey.cameras["3"] = "SN2";
  Pass(250);
  EXPECT_EQ(Burned().back(), "B:SN2");
  EXPECT_EQ(views.Slot("B").note, "serial SN2 also at slot C: burned without a look at its records");
  EXPECT_EQ(std::count(passes.asked.begin(), passes.asked.end(), "SN2"), 0);
}

}  // namespace
}  // namespace bb
