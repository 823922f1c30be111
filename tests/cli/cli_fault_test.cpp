// Every --fault that fires ends the command in a failure: exit status 1 and a
// last log line that is no success line, unless the run rightly does not
// depend on the call it breaks; one that does not fire changes nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "cli/cli_process.h"

namespace bb::test {
namespace {

using ::testing::HasSubstr;

const std::set<std::string> kSuccessLines = {"ISP Write File OK !!!", "Read Verify Success !!!",
                                             "Read Resource Files Success !!!"};

// The requests that a run does not depend on (the fault-sweep test gives the
// reasons), by code, value and occurrence among requests alike: the ISP
// version shown after the camera's return (the sample job powers nothing
// down). A fault is excused when it breaks one of them, itself or the open of
// the pipe that carries it.
using Request = std::tuple<unsigned, unsigned, int>;
const std::map<std::string, std::set<Request>> kIgnored = {
    {"burn --verify", {{0x20, 0x1, 1}}},
    {"read out --yes", {{0x20, 0x1, 1}}},
    {"versions", {}},
};

// A fault-free run's requests (code and value) in order, as its recording
// prints them, and for each open of PIPE00 the request it carried (none for
// a bulk read).
struct Conversation {
  std::vector<std::pair<unsigned, unsigned>> requests;
  std::vector<std::optional<std::size_t>> pipeRequests;
};

Conversation ConversationOf(const std::vector<std::string>& printed) {
  static const std::regex open(R"(^#\d+ .* s Open .*\\PIPE00 -> handle (-?\d+)$)");
  static const std::regex request(
      R"(^#\d+ .* s IoControl 0x[0-9a-f]+ on handle (-?\d+): request 0x([0-9a-f]+) value 0x([0-9a-f]+) )");
  Conversation conversation;
  std::string pipe;  // the handle of the request pipe opened last, while unused
  for (const std::string& line : printed) {
    std::smatch found;
    if (std::regex_search(line, found, open)) {
      conversation.pipeRequests.emplace_back();
      pipe = found[1];
    } else if (std::regex_search(line, found, request)) {
      if (found[1] == pipe) conversation.pipeRequests.back() = conversation.requests.size();
      conversation.requests.emplace_back(std::stoul(found[2], nullptr, 16), std::stoul(found[3], nullptr, 16));
      pipe.clear();
    } else if (line.find(" Read of ") != std::string::npos) {
      pipe.clear();
    }
  }
  return conversation;
}

// Whether `fault` breaks a request of `ignored`: the nth request of a code
// (and value), or the one that the nth open of the request pipe carried.
bool Excused(const std::string& fault, const Conversation& clean, const std::set<Request>& ignored) {
  static const std::regex pipe(R"(^pipe-open:PIPE00:(\d+)$)");
  static const std::regex request(R"(^request:0x([0-9a-f]+)(?:/0x([0-9a-f]+))?:(\d+)$)");
  std::smatch found;
  std::optional<std::size_t> broken;
  if (std::regex_match(fault, found, pipe)) {
    const std::size_t nth = std::stoul(found[1]);
    if (nth >= 1 && nth <= clean.pipeRequests.size()) broken = clean.pipeRequests[nth - 1];
  } else if (std::regex_match(fault, found, request)) {
    const unsigned code = std::stoul(found[1], nullptr, 16);
    std::size_t left = std::stoul(found[3]);
    for (std::size_t i = 0; i < clean.requests.size() && !broken; ++i) {
      const auto& [sentCode, sentValue] = clean.requests[i];
      const bool alike = sentCode == code && (!found[2].matched || sentValue == std::stoul(found[2], nullptr, 16));
      if (alike && --left == 0) broken = i;
    }
  }
  if (!broken) return false;
  const auto& [code, value] = clean.requests[*broken];
  const auto upTo = clean.requests.begin() + static_cast<std::ptrdiff_t>(*broken) + 1;
  const int occurrence = static_cast<int>(std::count(clean.requests.begin(), upTo, clean.requests[*broken]));
  return ignored.count({code, value, occurrence}) != 0;
}

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
    } else if (Excused(fault, conversation_, kIgnored.at(command))) {
      EXPECT_EQ(result.status, 0) << result.err;
    } else {
      EXPECT_EQ(result.status, 1) << result.err;
      EXPECT_TRUE(result.out.empty() || kSuccessLines.count(result.out.back()) == 0) << result.outText;
    }
    return fired;
  }

  // Every fault there is, the counted ones until one that does not fire.
  void Sweep(const std::string& command) {
    std::string recording = "'";
    recording += work.File("clean.bbrec");
    recording += '\'';
    const Result clean = Simulate("--record " + recording + " " + Operands(command));
    ASSERT_EQ(clean.status, 0) << clean.err;
    conversation_ = ConversationOf(Run("recording " + recording).out);
    // An exception that the run no longer meets is stale.
    for (const auto& [code, value, occurrence] : kIgnored.at(command)) {
      EXPECT_GE(std::count(conversation_.requests.begin(), conversation_.requests.end(), std::pair{code, value}),
                occurrence);
    }
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

  Conversation conversation_;
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
