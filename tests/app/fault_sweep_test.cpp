#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <thread>
#include <tuple>
#include <utility>

#include "app/run_outcome.h"
#include "common/control_ids.h"
#include "common/steps.h"
#include "config/read_settings.h"
#include "sim/named_fault.h"
#include "support/camera_session.h"
#include "support/test_host.h"
#include "util/format.h"

namespace bb {
namespace {

// Every fault of the simulated camera, at every request and transfer that a
// fault-free run makes and at one beyond, in a verified burn, a read-back, the
// version check and a legacy download. A run ends cleanly under each fault; a
// fault that fired ends the run in a failure, in its log and in the exit
// status the command-line program derives from that log; a fault that did not
// fire changes nothing the operator or the camera sees.

// Requests that may fail while the run still succeeds, because the run rightly
// does not depend on them: the run, the request's code and value and its
// occurrence among requests alike, then why. A fault is excused when the
// request it breaks is one of them, whether it fails the request itself or
// the open of the pipe that carries it.
constexpr const char* kVersionShown =
    "the ISP version that the camera reports after its return is only shown: its failure logs "
    "\"Get ISP Version Failed!\" and the run goes on, as every call its outcome rests on is checked";
constexpr const char* kPowerDown =
    "the power-down request after a verified burn: its result is not looked at and nothing is "
    "logged; the firmware is written and verified by then";

using Exception = std::tuple<RunCommand, unsigned, unsigned, int>;
const std::map<Exception, std::string> kIgnoredRequests = {
    {{RunCommand::kBurnVerify, 0x20, 0x1, 1}, kVersionShown},
    {{RunCommand::kBurnVerify, 0x34, 0x0, 1}, kPowerDown},
    {{RunCommand::kReadBack, 0x20, 0x1, 1}, kVersionShown},
};

const std::set<std::string> kSuccessLines = {"ISP Write File OK !!!", "Read Verify Success !!!",
                                             "Read Resource Files Success !!!", "ISP Write File OK.",
                                             "Parameter download OK."};

struct Run {
  RunCommand command;
  std::function<void(test::TestHost&)> setUp;
  std::function<void(test::TestHost&)> start;
};

struct Outcome {
  std::vector<std::string> log;
  std::vector<sim::SimEvent> calls;
  std::vector<std::string> transcript;
  bool fired = false;
  // The transcript entry of the call the fault hit, and that call.
  std::optional<std::size_t> firedIndex;
  std::string firedAt;
};

// Why a fault that fired at transcript entry `at` may leave the run a success,
// or null: the run is the fault-free one up to that call, so the request the
// fault broke is the fault-free run's at `at`, or, where the fault failed the
// open of a pipe, the request that pipe was opened for.
const std::string* Excuse(RunCommand command, const std::vector<sim::SimEvent>& clean, std::optional<std::size_t> at) {
  if (!at || *at >= clean.size()) return nullptr;
  std::size_t index = *at;
  if (clean[index].kind == sim::SimEvent::Kind::kOpen) ++index;
  if (index >= clean.size() || clean[index].kind != sim::SimEvent::Kind::kIoControl) return nullptr;
  const sim::SimRequest& broken = clean[index].request;
  int occurrence = 0;
  for (std::size_t i = 0; i <= index; ++i) {
    const sim::SimEvent& call = clean[i];
    if (call.kind == sim::SimEvent::Kind::kIoControl && call.request.bRequest == broken.bRequest &&
        call.request.wValue == broken.wValue) {
      ++occurrence;
    }
  }
  const auto found = kIgnoredRequests.find({command, broken.bRequest, broken.wValue, occurrence});
  return found == kIgnoredRequests.end() ? nullptr : &found->second;
}

// A fault to inject, and whether the sweep knows that it fires: a counted
// fault at a call that the fault-free run makes does, at one beyond does not.
struct Planned {
  std::string name;
  std::optional<bool> fires;
};

// The counted faults at every call of `count` calls, and at one more.
void AddCounted(std::vector<Planned>& planned, const std::string& prefix, std::size_t count) {
  for (std::size_t nth = 1; nth <= count + 1; ++nth) planned.push_back({Format("%s:%zu", prefix.c_str(), nth), nth <= count});
}

std::vector<Planned> PlannedFaults(const std::vector<sim::SimEvent>& transcript) {
  std::vector<Planned> planned;
  for (const char* name : {"absent", "busy", "no-storage", "write-timeout", "verify-mismatch",
                           "storage-write-fails", "never-returns"}) {
    planned.push_back({name, std::nullopt});
  }
  std::map<std::pair<unsigned, unsigned>, std::size_t> requests;
  std::map<unsigned, std::size_t> codes;
  std::map<std::string, std::size_t> counts;
  for (const sim::SimEvent& event : transcript) {
    if (event.kind == sim::SimEvent::Kind::kIoControl) {
      ++requests[{event.request.bRequest, event.request.wValue}];
      ++codes[event.request.bRequest];
    }
    if (event.kind == sim::SimEvent::Kind::kWrite) ++counts["write"];
    if (event.kind == sim::SimEvent::Kind::kRead) ++counts["read"];
    if (event.kind == sim::SimEvent::Kind::kOpen && event.path.ends_with("PIPE00")) ++counts["PIPE00"];
    if (event.kind == sim::SimEvent::Kind::kOpen && event.path.ends_with("PIPE01")) ++counts["PIPE01"];
  }
  for (const auto& [request, count] : requests) {
    AddCounted(planned, Format("request:0x%02x/0x%x", request.first, request.second), count);
  }
  // Without a value the count runs over every request of the code.
  for (const auto& [code, count] : codes) planned.push_back({Format("request:0x%02x:%zu", code, count), true});
  for (const char* fault : {"write-fails", "write-short"}) AddCounted(planned, fault, counts["write"]);
  for (const char* fault : {"read-fails", "read-short", "read-stalls"}) AddCounted(planned, fault, counts["read"]);
  for (const char* pipe : {"PIPE00", "PIPE01"}) AddCounted(planned, Format("pipe-open:%s", pipe), counts[pipe]);
  return planned;
}

// Runs `run` with the fault of that name (none when empty), to its end.
Outcome RunWith(const Run& run, const std::string& faultName) {
  SCOPED_TRACE(faultName);
  test::TestHost host;
  test::TempFolder out;
  host.prompts.ScriptFolder(out.Text());
  run.setUp(host);
  sim::SimBus::FaultId fault = sim::SimBus::kNoFault;
  if (!faultName.empty()) {
    const std::optional<sim::NamedFault> named = sim::ParseNamedFault(faultName);
    EXPECT_TRUE(named.has_value());
    if (named) fault = sim::InjectNamedFault(host.bus, 0, *named);
  }
  run.start(host);
  host.Pump();
  bool escaped = false;
  if (host.bench.arrivals.Watching()) {
    // A camera that never comes back leaves the run waiting until the
    // operator ends it with Esc.
    host.bench.sequencer.FilterKey(Sequencer::kKeyDown, Sequencer::kKeyEscape);
    host.Pump();
    escaped = true;
  }
  if (run.command != RunCommand::kVersions && run.command != RunCommand::kLegacy) {
    EXPECT_FALSE(host.history.empty());
    if (!host.history.empty()) {
      EXPECT_EQ(host.history.back(), kStepEnd);
    }
  }
  EXPECT_FALSE(host.bench.arrivals.Watching());
  for (const int id : {kIspButton, kVersionButton, kReadButton}) EXPECT_TRUE(host.controls.IsEnabled(id));
  EXPECT_EQ(host.bus.OpenHandles(), 0u);
  EXPECT_EQ(host.timers.LiveTimers(), 0u);
  EXPECT_EQ(host.timers.FineResolutionHeld(), 0);
  Outcome outcome;
  outcome.log = host.console.log;
  outcome.calls = host.bus.Transcript();
  outcome.transcript = host.bus.TranscriptLines();
  if (fault != sim::SimBus::kNoFault && host.bus.Fired(fault)) {
    outcome.fired = true;
    const std::size_t at = *host.bus.FaultReports()[fault].firedAt;
    outcome.firedIndex = at;
    outcome.firedAt = at < outcome.transcript.size() ? outcome.transcript[at] : "(after the last call)";
  }
  EXPECT_TRUE(escaped ? outcome.fired : true) << "a run that waits for ever had no fault";
  return outcome;
}

void Sweep(const Run& run) {
  const Outcome clean = RunWith(run, "");
  ASSERT_TRUE(RunSucceeded(run.command, clean.log)) << ::testing::PrintToString(clean.log);
  // An exception that the run no longer meets is stale.
  for (const auto& [exception, why] : kIgnoredRequests) {
    const auto& [command, code, value, occurrence] = exception;
    if (command != run.command) continue;
    EXPECT_GE(std::count_if(clean.calls.begin(), clean.calls.end(),
                            [&](const sim::SimEvent& call) {
                              return call.kind == sim::SimEvent::Kind::kIoControl && call.request.bRequest == code &&
                                     call.request.wValue == value;
                            }),
              occurrence)
        << why;
  }
  for (const Planned& fault : PlannedFaults(clean.calls)) {
    const Outcome outcome = RunWith(run, fault.name);
    SCOPED_TRACE(fault.name + (outcome.fired ? ", fired at " + outcome.firedAt : ", not fired"));
    if (fault.fires) {
      EXPECT_EQ(outcome.fired, *fault.fires);
    }
    const std::string* excused = Excuse(run.command, clean.calls, outcome.firedIndex);
    if (!outcome.fired) {
      EXPECT_EQ(outcome.log, clean.log);
      EXPECT_EQ(outcome.transcript, clean.transcript);
    } else if (excused != nullptr) {
      SCOPED_TRACE(*excused);
      EXPECT_TRUE(RunSucceeded(run.command, outcome.log)) << "the run no longer ignores it";
    } else {
      ASSERT_FALSE(outcome.log.empty());
      EXPECT_EQ(kSuccessLines.count(outcome.log.back()), 0u) << outcome.log.back();
      EXPECT_FALSE(RunSucceeded(run.command, outcome.log)) << outcome.log.back();
    }
  }
}

void SetUpBurn(test::TestHost& host, bool verify) {
  host.bus.Attach().stage = 0;
  host.WriteSampleJob(test::TestHost::SampleContent());
  host.controls.checked[kSilentModeCheck] = true;
  host.controls.checked[kReadVerifyCheck] = verify;
  host.context.settings.AutoPowerDown2860 = 1;
}

TEST(FaultSweepTest, NoFaultOfAVerifiedBurnEndsInSuccess) {
  Sweep({RunCommand::kBurnVerify, [](test::TestHost& host) { SetUpBurn(host, true); },
         [](test::TestHost& host) { host.bench.burn.StartBurn(); }});
}

TEST(FaultSweepTest, NoFaultOfAReadBackEndsInSuccess) {
  Sweep({RunCommand::kReadBack,
         [](test::TestHost& host) {
           sim::SimCamera& camera = host.bus.Attach();
           camera.stage = 0;
           host.WriteSampleJob(test::TestHost::SampleContent());
           camera.storage[0] = host.firmware;
         },
         [](test::TestHost& host) { host.bench.sequencer.StartReadBackFromButton(); }});
}

TEST(FaultSweepTest, NoFaultOfTheVersionCheckEndsInSuccess) {
  Sweep({RunCommand::kVersions, [](test::TestHost& host) { host.bus.Attach(); },
         [](test::TestHost& host) { host.bench.commands.CheckVersions(); }});
}

TEST(FaultSweepTest, NoFaultOfALegacyDownloadEndsInSuccess) {
  Sweep({RunCommand::kLegacy,
         [](test::TestHost& host) {
           host.bus.Attach().legacy = true;
           host.folder.Write("Isp.ini", "[616]\nCoreAddress616_MR=0x12000\nDramAddress616_MR=0x220000\n"
                                        "NandReserveSize616=0x6160\n");
           ReadSettings(host.profile, ConfigPath(host.folder.Text()), host.context.settings);
           host.context.controllerCode = kVexa616;
           host.controls.checked[kMaskRadio] = true;
           host.controls.checked[kRomRadio] = true;
           host.folder.Write("ispmask-rom.bin", std::string(3000, 'c'));
           host.prompts.ScriptOpenFile(host.folder.Write("fw.bin", std::string(1000, 'f')));
         },
         [](test::TestHost& host) { host.bench.legacy.LegacyDownload(); }});
}

// What a verified burn on the camera at location 2 left, and what the camera at
// location 1 saw of its own, both burned at once, with a fault aimed at the
// camera at 1.
struct TwoCameras {
  std::vector<std::string> otherLog;
  std::vector<std::string> otherTranscript;
  std::vector<sim::SimEvent> ownCalls;
  bool fired = false;
};

// A call as its camera saw it: the path a camera gets when it comes back
// counts the returns of both cameras, in whichever order they came.
std::string CameraCall(sim::SimEvent call) {
  const std::size_t pipe = call.path.rfind("\\PIPE");
  call.path = "camera" + (pipe == std::string::npos ? std::string() : call.path.substr(pipe));
  return call.Describe();
}

TwoCameras BurnBesideAFault(const std::string& faultName) {
  SCOPED_TRACE(faultName);
  sim::SimBus bus;
  for (int i = 0; i < 2; ++i) bus.Attach().stage = 0;
  sim::SharedBus shared(bus);
  sim::SimBus::FaultId fault = sim::SimBus::kNoFault;
  if (!faultName.empty()) {
    const std::optional<sim::NamedFault> named = sim::ParseNamedFault(faultName);
    EXPECT_TRUE(named.has_value());
    if (named) fault = sim::InjectNamedFault(bus, 0, *named);
  }
  test::CameraSession own(shared, bus.Location(0), 1);
  test::CameraSession other(shared, bus.Location(1), 2);
  std::thread ownThread([&own] { own.Burn(); });
  other.Burn();
  ownThread.join();

  TwoCameras result;
  result.otherLog = other.console.log;
  for (const sim::SimEvent& call : bus.Transcript()) {
    if (call.camera == 1u) result.otherTranscript.push_back(CameraCall(call));
    if (call.camera == 0u) result.ownCalls.push_back(call);
  }
  result.fired = fault != sim::SimBus::kNoFault && bus.Fired(fault);
  return result;
}

// Every fault, counted on the camera it is aimed at, at every call of that
// camera's verified burn while the other camera burns at the same time: the
// other camera's burn, its log and every call it made to its camera, stays as
// it is without the fault.
TEST(FaultSweepTest, AFaultOnOneCameraChangesNothingOnTheOther) {
  const TwoCameras clean = BurnBesideAFault("");
  ASSERT_TRUE(RunSucceeded(RunCommand::kBurnVerify, clean.otherLog)) << ::testing::PrintToString(clean.otherLog);
  for (const Planned& fault : PlannedFaults(clean.ownCalls)) {
    SCOPED_TRACE(fault.name);
    const TwoCameras outcome = BurnBesideAFault(fault.name);
    EXPECT_EQ(outcome.otherLog, clean.otherLog);
    EXPECT_EQ(outcome.otherTranscript, clean.otherTranscript);
    if (fault.fires) {
      EXPECT_EQ(outcome.fired, *fault.fires);
    }
  }
}

}  // namespace
}  // namespace bb
