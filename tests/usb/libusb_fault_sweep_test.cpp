// libusb's own faults at every call that a run through libusb makes: the
// emulated camera stalls a vendor request, never completes a bulk read (the
// watchdog ends it), leaves the bus in the middle of a request, a bulk write
// or a bulk read, or takes a byte less of a bulk write. Each fault goes at
// every call of its kind in the fault-free run and at one beyond. A fault
// that fired ends the program with exit 1 and a last line that is not a
// success line, save the exceptions named below; one that did not fire
// changes nothing that the operator or the camera sees.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "sim/fresh_camera.h"
#include "usb/camera_intake.h"
#include "usb/cli_run.h"
#include "usb/emulated_camera.h"
#include "usb/usb_testbed.h"
#include "util/format.h"

namespace bb::test {
namespace {

using Faults = EmulatedCamera::Faults;

const std::set<std::string> kSuccessLines = {"ISP Write File OK !!!", "Read Verify Success !!!",
                                             "Read Resource Files Success !!!", "F/W Version(9,8,7,6) [Customer]"};

constexpr const char* kPowerDown =
    "the power-down request after a verified burn: its result is not looked at and nothing is logged; the "
    "firmware is written and verified by then, and a camera gone by then has nothing left to do";
constexpr const char* kVersionShown =
    "the ISP version that the camera reports after its return is only shown: its failure logs "
    "\"Get ISP Version Failed!\" and the run goes on";

// A request that may fail while the run still succeeds: the command, the
// request's code and value, its occurrence among requests alike, and whether
// the camera may also leave during it.
using Exception = std::tuple<std::string, unsigned, unsigned, int>;
struct Why {
  const char* reason;
  bool evenGone;
};
const std::map<Exception, Why> kIgnoredRequests = {
    {{"burn", 0x20, 0x1, 1}, {kVersionShown, false}},
    {{"burn", 0x34, 0x0, 1}, {kPowerDown, true}},
    {{"read", 0x20, 0x1, 1}, {kVersionShown, false}},
};

struct Outcome {
  CliResult result;
  std::vector<sim::SimRequest> requests;
  std::vector<std::uint32_t> bulkOutSizes;
  std::uint32_t bulkIns = 0;
  std::vector<std::string> fired;
};

struct Planned {
  std::string name;
  std::function<void(Faults&)> arrange;
  // The request it breaks, for the exceptions, and whether the camera leaves.
  std::size_t request = 0;
  bool gone = false;
  bool fires = true;
};

class LibusbFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UsbTestbed::Available()) << "the libusb tests emulate cameras with umockdev and must run under "
                                            "umockdev-wrapper";
    for (const char* name : {"Isp.ini", "param.txt", "core.bin", "fw.brn", "files.ini"}) {
      std::filesystem::copy_file(std::filesystem::path(BURNBENCH_EXAMPLES_DIR) / name, work_.Path() / name);
    }
    // The burn ends with the power-down request, so that it is swept too.
    const std::vector<std::uint8_t> bytes = work_.Read("Isp.ini");
    std::string ini(bytes.begin(), bytes.end());
    const std::string off = "AutoPowerDown2860=0";
    ASSERT_NE(ini.find(off), std::string::npos);
    ini.replace(ini.find(off), off.size(), "AutoPowerDown2860=1");
    work_.Write("Isp.ini", ini);
  }

  // The command on a fresh emulated camera with `arrange`'s fault.
  Outcome RunWith(const std::string& command, const std::function<void(Faults&)>& arrange) {
    UsbTestbed testbed;
    EmulatedCamera camera(testbed);
    sim::SetUpFreshCamera(camera.Model(), false);
    arrange(camera.Fault());
    camera.Plug();
    std::vector<std::string> arguments{"--virtual-clock",     "--wait",   "5",        "--ini",
                                       work_.File("Isp.ini"), "--usb-id", "1234:2860"};
    if (command == "read") {
      const std::string folder = Format("out%d", ++folders_);
      std::filesystem::create_directories(work_.Path() / folder);
      std::filesystem::copy_file(work_.Path() / "files.ini", work_.Path() / folder / "files.ini");
      arguments.insert(arguments.end(), {"read", work_.File(folder), "--yes"});
    } else if (command == "burn") {
      arguments.insert(arguments.end(), {"burn", "--verify"});
    } else {
      arguments.push_back(command);
    }
    Outcome outcome{RunCli(arguments, {&camera}, work_), camera.Requests(), camera.BulkOutSizes(), camera.BulkInCount(),
                    camera.FiredFaults()};
    return outcome;
  }

  // Every fault at every call of the fault-free run, and at one beyond.
  static std::vector<Planned> PlannedFaults(const Outcome& clean) {
    std::vector<Planned> planned;
    const auto counted = [&](const char* name, std::size_t count, auto member, bool request, bool gone) {
      for (std::size_t nth = 1; nth <= count + 1; ++nth) {
        const auto at = static_cast<std::uint32_t>(nth);
        planned.push_back({Format("%s %zu", name, nth), [=](Faults& faults) { faults.*member = at; },
                           request ? nth : 0, gone, nth <= count});
      }
    };
    counted("request stalls", clean.requests.size(), &Faults::stallRequestAt, true, false);
    counted("request pulled out", clean.requests.size(), &Faults::unplugOnRequest, true, true);
    counted("bulk-out short", clean.bulkOutSizes.size(), &Faults::shortWrite, false, false);
    counted("bulk-out pulled out", clean.bulkOutSizes.size(), &Faults::unplugOnWrite, false, true);
    counted("bulk-in stalls", clean.bulkIns, &Faults::stallRead, false, false);
    counted("bulk-in pulled out", clean.bulkIns, &Faults::unplugOnRead, false, true);
    return planned;
  }

  // Why `fault` may fire while the run succeeds; null when it may not.
  static const char* Exempt(const std::string& command, const Outcome& clean, const Planned& fault) {
    if (fault.request == 0 || fault.request > clean.requests.size()) return nullptr;
    const std::size_t nth = fault.request;
    const sim::SimRequest& broken = clean.requests[nth - 1];
    int occurrence = 0;
    for (std::size_t i = 0; i < nth; ++i) {
      const sim::SimRequest& request = clean.requests[i];
      if (request.bRequest == broken.bRequest && request.wValue == broken.wValue) ++occurrence;
    }
    const auto found = kIgnoredRequests.find({command, broken.bRequest, broken.wValue, occurrence});
    if (found == kIgnoredRequests.end() || (fault.gone && !found->second.evenGone)) return nullptr;
    return found->second.reason;
  }

  void Sweep(const std::string& command) {
    const Outcome clean = RunWith(command, [](Faults&) {});
    ASSERT_EQ(clean.result.status, 0) << clean.result.err;
    ASSERT_TRUE(clean.fired.empty());
    // An exception that the run no longer meets is stale.
    for (const auto& [exception, why] : kIgnoredRequests) {
      const auto& [name, code, value, occurrence] = exception;
      if (name != command) continue;
      EXPECT_GE(std::count_if(clean.requests.begin(), clean.requests.end(),
                              [&](const sim::SimRequest& r) { return r.bRequest == code && r.wValue == value; }),
                occurrence)
          << why.reason;
    }
    for (const Planned& fault : PlannedFaults(clean)) {
      SCOPED_TRACE(command + ": " + fault.name);
      const Outcome outcome = RunWith(command, fault.arrange);
      ASSERT_FALSE(outcome.result.hung);
      ASSERT_EQ(outcome.fired.size(), fault.fires ? 1u : 0u);
      if (!fault.fires) {
        EXPECT_EQ(outcome.result.status, 0);
        EXPECT_EQ(outcome.result.out, clean.result.out);
        EXPECT_EQ(DescribeRequests(outcome.requests), DescribeRequests(clean.requests));
        EXPECT_EQ(outcome.bulkOutSizes, clean.bulkOutSizes);
        continue;
      }
      const char* exempt = Exempt(command, clean, fault);
      if (exempt != nullptr) {
        SCOPED_TRACE(exempt);
        EXPECT_EQ(outcome.result.status, 0) << outcome.result.err;
        continue;
      }
      EXPECT_EQ(outcome.result.status, 1) << outcome.result.err;
      ASSERT_FALSE(outcome.result.out.empty());
      EXPECT_FALSE(kSuccessLines.contains(outcome.result.out.back())) << outcome.result.out.back();
    }
  }

  TempFolder work_;
  int folders_ = 0;
};

TEST_F(LibusbFaultSweep, NoLibusbFaultOfAVerifiedBurnEndsInSuccess) { Sweep("burn"); }

TEST_F(LibusbFaultSweep, NoLibusbFaultOfAReadBackEndsInSuccess) { Sweep("read"); }

TEST_F(LibusbFaultSweep, NoLibusbFaultOfTheVersionCheckEndsInSuccess) { Sweep("versions"); }

}  // namespace
}  // namespace bb::test
