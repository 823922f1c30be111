// Every --fault that fires ends the command in a failure: exit status 1 and a
// last log line that is no success line, unless the run rightly does not
// depend on the call it breaks; one that does not fire changes nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "cli/cli_process.h"

namespace bb::test {
namespace {

using ::testing::HasSubstr;

const std::set<std::string> kSuccessLines = {"ISP Write File OK !!!", "Read Verify Success !!!",
                                             "Read Resource Files Success !!!"};

// The calls that a run does not depend on (the fault-sweep test gives the
// reasons): the ISP version shown after the camera's return and the
// power-down request after a verified burn.
const std::map<std::string, std::set<std::string>> kIgnored = {
    {"burn --verify", {"request:0x20:1", "pipe-open:PIPE00:6", "request:0x34:1", "pipe-open:PIPE00:19"}},
    {"read out --yes", {"request:0x20:1", "pipe-open:PIPE00:5"}},
    {"versions", {}},
};

class CliFaultTest : public CliProcessTest {
 protected:
  // The command with its folder in the work folder.
  std::string Operands(const std::string& command) {
    return command == "read out --yes" ? "read '" + work.File("out") + "' --yes" : command;
  }

  // Runs the command with the fault; true when the fault fired.
  bool CheckFault(const std::string& command, const Result& clean, const std::string& fault) {
    SCOPED_TRACE(command + " with " + fault);
    const Result result = Simulate("--fault " + fault + " " + Operands(command));
    const bool fired = result.err.find("fault fired: " + fault + "\n") != std::string::npos;
    if (!fired) {
      EXPECT_EQ(result.status, 0) << result.err;
      EXPECT_EQ(result.outText, clean.outText);
    } else if (kIgnored.at(command).count(fault) != 0) {
      EXPECT_EQ(result.status, 0) << result.err;
    } else {
      EXPECT_EQ(result.status, 1) << result.err;
      EXPECT_TRUE(result.out.empty() || kSuccessLines.count(result.out.back()) == 0) << result.outText;
    }
    return fired;
  }

  // Every fault there is, the counted ones until one that does not fire.
  void Sweep(const std::string& command) {
    const Result clean = Simulate(Operands(command));
    ASSERT_EQ(clean.status, 0) << clean.err;
    std::size_t fired = 0;
    for (const char* fault : {"absent", "busy", "no-storage", "write-timeout", "verify-mismatch",
                              "storage-write-fails", "never-returns", "stalled-read"}) {
      fired += CheckFault(command, clean, fault) ? 1 : 0;
    }
    std::vector<std::string> counted = {"write-fails", "write-short", "read-fails", "read-short",
                                        "read-stalls", "pipe-open:PIPE00", "pipe-open:PIPE01"};
    for (const char* code : {"0x10", "0x11", "0x20", "0x21", "0x33", "0x34", "0x70", "0x71", "0x79", "0xfd"}) {
      counted.push_back(std::string("request:") + code);
    }
    // Each of the first calls, then every call at a power of two: the
    // in-process sweep takes every call of all.
    for (const std::string& prefix : counted) {
      for (std::size_t nth = 1; CheckFault(command, clean, prefix + ":" + std::to_string(nth));
           nth = nth < 8 ? nth + 1 : nth * 2) {
        ++fired;
      }
    }
    EXPECT_GT(fired, 0u);
  }
};

TEST_F(CliFaultTest, EveryFaultThatFiresFailsAVerifiedBurn) { Sweep("burn --verify"); }

TEST_F(CliFaultTest, EveryFaultThatFiresFailsAReadBack) { Sweep("read out --yes"); }

TEST_F(CliFaultTest, EveryFaultThatFiresFailsTheVersionCheck) { Sweep("versions"); }

TEST_F(CliFaultTest, SeveralFaultsEachSayThatTheyFired) {
  const Result result = Simulate("--fault request:0x33:1 --fault write-short:99 --fault request:0x21/0:1 burn");
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.err, HasSubstr("fault fired: request:0x21/0:1\n"));
  EXPECT_EQ(result.err.find("fault fired: request:0x33:1"), std::string::npos) << "a plain burn reads nothing back";
  EXPECT_EQ(result.err.find("fault fired: write-short:99"), std::string::npos);
}

TEST_F(CliFaultTest, ACameraThatNeverReturnsIsGivenUpAfterTheWait) {
  const Result result = Simulate("--fault never-returns --wait 30 burn");
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.err, HasSubstr("fault fired: never-returns\n"));
  EXPECT_THAT(result.err, HasSubstr("the camera did not come back within 30 seconds"));
  ASSERT_FALSE(result.out.empty());
  EXPECT_EQ(result.out.back(), "  Write File....");
  for (const char* bad : {"--wait 0", "--wait x", "--wait 86401", "--wait"}) {
    EXPECT_EQ(Simulate(std::string(bad) + " burn").status, 2) << bad;
  }
}

}  // namespace
}  // namespace bb::test
