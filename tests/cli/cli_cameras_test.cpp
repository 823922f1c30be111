// Several simulated cameras in one command-line program: lines by location,
// the refusal of an ambiguous command, the summary, the report and Ctrl-C.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <map>
#include <set>

#include "cli/cli_process.h"
#include "util/sha256.h"

extern char** environ;

namespace bb {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::SizeIs;
using test::Result;

const std::set<std::string> kSuccessLines = {"ISP Write File OK !!!", "Read Verify Success !!!"};

class MultiCameraCliTest : public test::CliProcessTest {
 protected:
  Result Cameras(unsigned count, const std::string& arguments) {
    return Run("--simulate " + std::to_string(count) + " --virtual-clock --ini '" +
               work.File("Isp.ini") + "' " + arguments);
  }

  // Each camera's lines without their prefix, in the order they came.
  static std::map<std::string, std::vector<std::string>> ByCamera(const std::vector<std::string>& out) {
    std::map<std::string, std::vector<std::string>> lines;
    for (const std::string& line : out) {
      const std::size_t close = line.find("] ");
      EXPECT_TRUE(line.starts_with("[") && close != std::string::npos) << line;
      if (close == std::string::npos) continue;
      lines[line.substr(1, close - 1)].push_back(line.substr(close + 2));
    }
    return lines;
  }
};

// A counted fault counts the calls of its own camera: the first bulk write of
// camera 2 alone, or the second of each camera, whatever the others did.
TEST_F(MultiCameraCliTest, ACountedFaultCountsTheCallsOfItsOwnCamera) {
  const std::vector<std::string> alone = Simulate("burn").out;
  Result result = Cameras(2, "--fault 2:write-fails:1 burn --all");
  EXPECT_EQ(result.status, 1) << result.err;
  auto lines = ByCamera(result.out);
  EXPECT_EQ(lines["1"], alone);
  ASSERT_FALSE(lines["2"].empty());
  EXPECT_EQ(kSuccessLines.count(lines["2"].back()), 0u) << lines["2"].back();
  EXPECT_EQ(result.err.find("fault fired: "), result.err.rfind("fault fired: 2:write-fails:1\n")) << result.err;

  result = Cameras(2, "--fault write-fails:2 burn --all");
  EXPECT_EQ(result.status, 1) << result.err;
  lines = ByCamera(result.out);
  for (const char* camera : {"1", "2"}) {
    ASSERT_FALSE(lines[camera].empty()) << camera;
    EXPECT_EQ(kSuccessLines.count(lines[camera].back()), 0u) << lines[camera].back();
    EXPECT_THAT(result.err, HasSubstr("fault fired: " + std::string(camera) + ":write-fails:2\n"));
  }
}

TEST_F(MultiCameraCliTest, FourCamerasTwoOfThemFaultyBurnAtOnceEachWithItsOwnLines) {
  const std::vector<std::string> alone = Simulate("burn --verify").out;
  const Result result = Cameras(4, "--fault 2:busy --fault 4:verify-mismatch burn --all --verify "
                                      "--report '" + work.File("runs.jsonl") + "'");
  EXPECT_EQ(result.status, 1) << result.err;
  auto lines = ByCamera(result.out);
  EXPECT_EQ(lines["1"], alone);
  EXPECT_EQ(lines["3"], alone);
  ASSERT_FALSE(lines["2"].empty());
  EXPECT_EQ(lines["2"].back(), "ISP Busy!");
  ASSERT_EQ(lines["4"].size(), alone.size());
  EXPECT_EQ(lines["4"].back(), "Verify Fail !!!");
  EXPECT_THAT(result.err, HasSubstr("fault fired: 2:busy\n"));
  EXPECT_THAT(result.err, HasSubstr("fault fired: 4:verify-mismatch\n"));

  EXPECT_THAT(result.err, HasSubstr("camera  result      time  last line\n"
                                    "1       ok        "));
  EXPECT_THAT(result.err, HasSubstr("s  Read Verify Success !!!\n2       failed     "));
  EXPECT_THAT(result.err, HasSubstr("s  ISP Busy!\n3       ok"));
  EXPECT_THAT(result.err, HasSubstr("s  Verify Fail !!!\n"));
  for (const char* camera : {"1", "3", "4"}) {
    EXPECT_TRUE(std::filesystem::exists(work.Path() / ("verify-" + std::string(camera)) / "fw.brn.raw.brn"));
  }

  const std::vector<std::string> report = test::Lines(test::Slurp(work.Path() / "runs.jsonl"));
  ASSERT_THAT(report, SizeIs(4));
  const std::string firmwareHash = ToHex(HashFile(work.File("fw.brn"))->digest);
  std::map<std::string, std::string> results;
  for (const std::string& line : report) {
    EXPECT_THAT(line, AllOf(HasSubstr("\"command\":\"burn --verify\""),
                            HasSubstr("\"FwFile\":{\"path\":\"" + work.File("fw.brn") +
                                      "\",\"sha256\":\"" + firmwareHash + "\",\"size\":104644}")));
    const std::size_t at = line.find("\"location\":\"") + 12;
    const std::string location = line.substr(at, line.find('"', at) - at);
    results[location] = line.substr(line.find("\"result\":"), 48);
  }
  EXPECT_THAT(results["1"], HasSubstr("\"result\":\"ok\",\"exit_status\":0"));
  EXPECT_THAT(results["2"], HasSubstr("\"result\":\"failed\",\"exit_status\":1"));
  EXPECT_THAT(results["3"], HasSubstr("\"result\":\"ok\",\"exit_status\":0"));
  EXPECT_THAT(results["4"], HasSubstr("\"result\":\"failed\",\"exit_status\":1"));
}

// A camera's verify folder is refused, as the export refuses its A, when it
// is a link (a planted one would take the verify's files elsewhere) or no
// folder at all; that camera is not touched, the others burn.
TEST_F(MultiCameraCliTest, AVerifyFolderThatIsALinkOrNoFolderIsRefused) {
  std::filesystem::create_directories(work.Path() / "vout");
  std::filesystem::create_directory_symlink("vout", work.Path() / "verify-1");
  std::ofstream(work.Path() / "verify-2") << "a file";
  const Result result = Cameras(3, "burn --all --verify");
  EXPECT_EQ(result.status, 1) << result.err;
  for (const char* camera : {"1", "2"}) {
    EXPECT_THAT(result.err, HasSubstr("burnbench-cli: cannot use " + work.File("verify-" + std::string(camera)) +
                                      " for the files of the read verify: it is a link or not a folder\n"));
  }
  auto lines = ByCamera(result.out);
  EXPECT_TRUE(lines["1"].empty());
  EXPECT_TRUE(lines["2"].empty());
  ASSERT_FALSE(lines["3"].empty());
  EXPECT_EQ(lines["3"].back(), "Read Verify Success !!!");
  EXPECT_TRUE(std::filesystem::is_empty(work.Path() / "vout"));
  EXPECT_EQ(test::Slurp(work.Path() / "verify-2"), "a file");

  const Result alone = Cameras(1, "--device 1 burn --verify");
  EXPECT_EQ(alone.status, 2);
  EXPECT_TRUE(alone.out.empty());
  EXPECT_TRUE(std::filesystem::is_empty(work.Path() / "vout"));
}

TEST_F(MultiCameraCliTest, SeveralCamerasNeedACameraNamedOrAll) {
  Result result = Cameras(3, "burn");
  EXPECT_EQ(result.status, 2);
  EXPECT_THAT(result.out, ElementsAre());
  EXPECT_THAT(result.err, HasSubstr("3 cameras are attached, at 1, 2, 3; choose one with --device "
                                    "LOCATION, or all with --all"));

  result = Cameras(3, "--fault 2:absent devices");
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(result.out, ElementsAre(HasSubstr("1\t\\\\?\\usb#"), HasSubstr("3\t\\\\?\\usb#")));
  EXPECT_TRUE(result.out[0].ends_with("}\t0\tSIM0001"));

  result = Cameras(3, "--device 2 versions");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out, ElementsAre("AP Version(2,1,0,0)", "F/W Version(1,2,3,4) [Corvane]",
                                      "F/W Version(9,8,7,6) [Customer]"));
  result = Cameras(2, "versions --all");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(ByCamera(result.out)["2"], ByCamera(result.out)["1"]);
  EXPECT_THAT(result.out, SizeIs(6));

  for (const char* unusable : {"--device 9 versions", "--fault 9:busy burn --all", "read x --all",
                               "--device 1 versions --all", "devices --all", "--fault 1busy burn"}) {
    EXPECT_EQ(Cameras(3, unusable).status, 2) << unusable;
  }
}

// Each camera's USB serial number, as the device gave it: in the fourth column
// of devices (escaped, "-" for none) and in the run report (null for none).
// Serials need not differ, and are kept to what a string descriptor holds.
TEST_F(MultiCameraCliTest, EveryCameraTellsItsSerialNumber) {
  const std::string odd = "\xe2\x84\x96 7\x1b]0;x\x07";
  const std::string serials = "--serial 2: --serial 3:SIM0001 --serial '4:" + odd + "' --serial 5:" +
                              std::string(130, 'L') + " ";
  Result result = Cameras(5, serials + "devices");
  EXPECT_EQ(result.status, 0) << result.err;
  ASSERT_THAT(result.out, SizeIs(5));
  const std::vector<std::string> shown = {"SIM0001", "-", "SIM0001", "\xe2\x84\x96 7\\x1b]0;x\\x07",
                                          std::string(126, 'L')};
  for (std::size_t i = 0; i < shown.size(); ++i) {
    EXPECT_TRUE(result.out[i].starts_with(std::to_string(i + 1) + "\t\\\\?\\usb#")) << result.out[i];
    EXPECT_TRUE(result.out[i].ends_with("}\t0\t" + shown[i])) << result.out[i];
  }

  result = Cameras(5, serials + "versions --all --report '" + work.File("runs.jsonl") + "'");
  EXPECT_EQ(result.status, 0) << result.err;
  std::map<std::string, std::string> reported;
  for (const std::string& line : test::Lines(test::Slurp(work.Path() / "runs.jsonl"))) {
    const std::size_t at = line.find("\"location\":\"") + 12;
    const std::size_t serial = line.find(",\"serial\":");
    ASSERT_NE(serial, std::string::npos) << line;
    reported[line.substr(at, line.find('"', at) - at)] = line.substr(serial + 10, line.find(",\"versions\"") - serial - 10);
  }
  EXPECT_EQ(reported, (std::map<std::string, std::string>{{"1", "\"SIM0001\""},
                                                          {"2", "null"},
                                                          {"3", "\"SIM0001\""},
                                                          {"4", "\"\xe2\x84\x96 7\\u001b]0;x\\u0007\""},
                                                          {"5", "\"" + std::string(126, 'L') + "\""}}));
}

// A watchdog that fires for one camera passes on that camera's clock and ends
// only its run; a recording holds one named camera and replays on it.
TEST_F(MultiCameraCliTest, AStalledReadAndARecordingKeepToTheirCamera) {
  Result result = Cameras(2, "--fault 2:stalled-read burn --all --verify");
  EXPECT_EQ(result.status, 1);
  auto lines = ByCamera(result.out);
  EXPECT_EQ(lines["1"], Simulate("burn --verify").out);
  ASSERT_FALSE(lines["2"].empty());
  EXPECT_EQ(lines["2"].back(), "Read Resource Fail !!!");
  EXPECT_THAT(result.err, HasSubstr("[2] error: [Corvane ISP] Error 27\nBulk READFILE Time Out error."));
  EXPECT_THAT(result.err, Not(HasSubstr("[1] [Corvane ISP]")));

  const std::string recording = "'" + work.File("three.bbrec") + "'";
  result = Cameras(3, "--fault 2:busy --device 2 burn --record " + recording);
  EXPECT_EQ(result.status, 1);
  ASSERT_FALSE(result.out.empty());
  EXPECT_EQ(result.out.back(), "ISP Busy!");
  const Result replay = Run("--ini '" + work.File("Isp.ini") + "' replay " + recording);
  EXPECT_EQ(replay.status, 1) << replay.err;
  EXPECT_EQ(replay.out, result.out);
  EXPECT_THAT(replay.err, Not(HasSubstr("burnbench-cli:")));

  EXPECT_THAT(Cameras(2, "burn --all --record " + recording).err,
              HasSubstr("--record records one camera; it does not go with --all"));
  EXPECT_EQ(Run("replay " + recording + " --device 1").status, 2);
}

// The program on real time, its output read as it comes; Ctrl-C is sent once
// every camera waits for its return.
TEST_F(MultiCameraCliTest, CtrlCEndsTheRunOfEveryCamera) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string err = work.File("stderr.txt");
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  const std::string ini = work.File("Isp.ini");
  std::vector<std::string> arguments = {BURNBENCH_CLI_PATH, "--simulate", "2", "--fault", "no-return",
                                        "--ini", ini, "burn", "--all"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, BURNBENCH_CLI_PATH, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);

  FILE* stream = fdopen(out[0], "r");
  std::vector<std::string> lines;
  int waiting = 0;
  char buffer[512];
  while (waiting < 2 && std::fgets(buffer, sizeof buffer, stream) != nullptr) {
    lines.emplace_back(buffer);
    if (lines.back().ends_with("  Write File....\n")) ++waiting;
  }
  ASSERT_EQ(waiting, 2);
  kill(pid, SIGINT);
  while (std::fgets(buffer, sizeof buffer, stream) != nullptr) lines.emplace_back(buffer);
  std::fclose(stream);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_TRUE(lines.back().ends_with("  Write File....\n"));
  EXPECT_THAT(test::Slurp(err), AllOf(HasSubstr("[1] interrupted\n"), HasSubstr("[2] interrupted\n"),
                                      HasSubstr("\n1       failed"), HasSubstr("\n2       failed")));
}

}  // namespace
}  // namespace bb
