// Recording a run of the command-line program and replaying it, as whole
// processes: what each prints, the files each leaves, the status each ends with.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "cli/cli_process.h"
#include "platform/record/recording_format.h"
#include "platform/record/recording_writer.h"

namespace bb {
namespace {

using ::testing::Contains;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

class RecordReplayTest : public test::CliProcessTest {
 protected:
  std::string Quoted(const std::string& name) const { return "'" + work.File(name) + "'"; }

  // Every file below a folder, by its path inside the folder.
  static std::map<std::string, std::string> Tree(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
      if (entry.is_regular_file()) {
        files[std::filesystem::relative(entry.path(), folder).string()] = test::Slurp(entry.path());
      }
    }
    return files;
  }
};

TEST_F(RecordReplayTest, ABurnWithVerifyAndAReadBackReplayByteForByte) {
  const test::Result burn = Simulate("--record " + Quoted("burn.bbrec") + " burn --verify");
  ASSERT_EQ(burn.status, 0) << burn.err;
  test::Result replay = Run("replay " + Quoted("burn.bbrec"));
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(replay.outText, burn.outText);
  EXPECT_THAT(replay.err, Not(HasSubstr("burnbench-cli:")));

  const test::Result read = Simulate("--record " + Quoted("read.bbrec") + " read " + Quoted("out") + " --yes");
  ASSERT_EQ(read.status, 0) << read.err;
  std::filesystem::create_directories(work.Path() / "again");
  std::filesystem::copy_file(work.Path() / "out" / "files.ini", work.Path() / "again" / "files.ini");
  replay = Run("replay " + Quoted("read.bbrec") + " " + Quoted("again"));
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(replay.outText, read.outText);
  EXPECT_GE(Tree(work.Path() / "out").size(), 7u);
  EXPECT_EQ(Tree(work.Path() / "again"), Tree(work.Path() / "out"));

  // Into the recorded folder, which now holds the files, the replay asks
  // before it overwrites them: the recorded --yes is not the replayer's.
  replay = Run("replay " + Quoted("read.bbrec") + " " + Quoted("out"));
  EXPECT_EQ(replay.status, 1);
  EXPECT_THAT(replay.err, HasSubstr("Files are existed, do you want to overwrite them?"));
  EXPECT_THAT(replay.err, HasSubstr("give --yes"));
  replay = Run("replay --yes " + Quoted("read.bbrec") + " " + Quoted("out"));
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(replay.outText, read.outText);
}

// A recording is a file someone sent: it never chooses where this machine
// writes, nor which configuration it reads.
TEST_F(RecordReplayTest, AReplayWritesOnlyWhereTheReplayerSays) {
  ASSERT_EQ(Simulate("--record " + Quoted("read.bbrec") + " read " + Quoted("out") + " --yes").status, 0);
  const std::map<std::string, std::string> recorded = Tree(work.Path() / "out");
  std::filesystem::remove_all(work.Path() / "out");
  test::Result replay = Run("replay --yes " + Quoted("read.bbrec"));
  EXPECT_EQ(replay.status, 2);
  EXPECT_THAT(replay.err, HasSubstr("cannot replay " + work.File("read.bbrec") + ": it reads a camera back "
                                    "into a folder; name the folder to read into after FILE"));
  EXPECT_FALSE(std::filesystem::exists(work.Path() / "out"));

  // A resource file already there is replaced only with the replayer's yes,
  // though no raw image or BRN file is there to ask about.
  const auto entry = std::find_if(recorded.begin(), recorded.end(),
                                  [](const auto& file) { return file.first.rfind("A/", 0) == 0; });
  ASSERT_NE(entry, recorded.end());
  std::filesystem::create_directories(work.Path() / "mine" / "A");
  std::filesystem::copy_file(BURNBENCH_EXAMPLES_DIR "/files.ini", work.Path() / "mine" / "files.ini");
  work.Write("mine/" + entry->first, "mine");
  replay = Run("replay " + Quoted("read.bbrec") + " " + Quoted("mine"));
  EXPECT_EQ(replay.status, 1);
  EXPECT_THAT(replay.err, HasSubstr("Files are existed, do you want to overwrite them?"));
  EXPECT_EQ(test::Slurp(work.Path() / "mine" / entry->first), "mine");
  EXPECT_THAT(replay.out, Contains("Export Resource Files Fail !!!"));
  replay = Run("replay --yes " + Quoted("read.bbrec") + " " + Quoted("mine"));
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(Tree(work.Path() / "mine"), recorded);

  // What a replayed read verify reads back goes to a folder of the replay's
  // own, gone when it ends; the recorded camera's verify folder is not made.
  ASSERT_EQ(Run("--simulate 2 --virtual-clock --ini " + Quoted("Isp.ini") + " --device 2 --record " +
                Quoted("verify.bbrec") + " burn --verify").status, 0);
  std::filesystem::remove_all(work.Path() / "verify-2");
  std::filesystem::create_directories(work.Path() / "tmp");
  setenv("TMPDIR", work.File("tmp").c_str(), 1);
  replay = Run("replay " + Quoted("verify.bbrec"));
  unsetenv("TMPDIR");
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_THAT(replay.out, Contains("Read Verify Success !!!"));
  EXPECT_FALSE(std::filesystem::exists(work.Path() / "verify-2"));
  EXPECT_TRUE(std::filesystem::is_empty(work.Path() / "tmp"));
  EXPECT_THAT(replay.err, HasSubstr("the replay uses the configuration file " + work.File("Isp.ini") + "\n"));

  // The recorded configuration file, gone from here, gives way to the default.
  std::filesystem::rename(work.Path() / "Isp.ini", work.Path() / "job.ini");
  replay = Run("replay " + Quoted("verify.bbrec"));
  const std::string beside = std::filesystem::path(BURNBENCH_CLI_PATH).parent_path().string();
  EXPECT_THAT(replay.err, HasSubstr("the replay uses the configuration file " + beside + "/Isp.ini\n"));
  replay = Run("replay --ini " + Quoted("job.ini") + " " + Quoted("verify.bbrec"));
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_THAT(replay.err, HasSubstr("the replay uses the configuration file " + work.File("job.ini") + "\n"));
}

// Recordings a sender made hostile, from a fresh one with its hash computed
// anew: each ends as damaged (2), as a divergence or a failure (1), never in a
// crash, an impossible value or a success.
TEST_F(RecordReplayTest, HostileRecordingsEndAsDamagedOrAsAFailure) {
  ASSERT_EQ(Simulate("--record " + Quoted("read.bbrec") + " read " + Quoted("out") + " --yes").status, 0);
  using Change = std::function<void(std::vector<record::Call>&)>;
  const auto first = [](std::vector<record::Call>& calls, auto is) {
    const auto found = std::find_if(calls.begin(), calls.end(), is);
    EXPECT_NE(found, calls.end());
    return found;
  };
  const auto kind = [](record::CallKind wanted) {
    return [wanted](const record::Call& call) { return call.kind == wanted; };
  };
  const auto readInfo = [](const record::Call& call) {
    return call.kind == record::CallKind::kIoControl && !call.block.empty() && call.block[0] == 0x79;
  };
  struct Case {
    std::string name;
    Change change;
    int status;
    std::string said;  // on standard error, or (with a leading "|") a log line
  };
  const std::vector<Case> cases = {
      {"more read than asked", [&](auto& calls) { first(calls, kind(record::CallKind::kRead))->done = 0xFFFF0000; },
       2, "it is corrupted: a bulk read moved more bytes than it was asked for"},
      {"more written than given", [&](auto& calls) { first(calls, kind(record::CallKind::kWrite))->done += 1; },
       2, "it is corrupted: a bulk write moved more bytes than it was given"},
      {"an answer beyond wLength", [&](auto& calls) { first(calls, readInfo)->received.push_back(0); },
       2, "it is corrupted: a data stage is longer than its request's length"},
      {"a short answer", [&](auto& calls) { first(calls, readInfo)->received.resize(2); },
       1, "|Read Resource Fail !!!"},
      {"a size beyond any camera's storage", [&](auto& calls) {
         std::vector<std::uint8_t>& info = first(calls, readInfo)->received;
         info[0] = 0, info[1] = 0, info[2] = 0xFF, info[3] = 0xFF;
       }, 1, "|  Image size 0xffff0000 is more than a camera's storage can hold (0x40000000) !!!"},
      {"arrivals the run did not ask for", [&](auto& calls) {
         const auto arrival = first(calls, kind(record::CallKind::kDeviceChange));
         const record::Call copy = *arrival;
         calls.insert(arrival + 1, 20000, copy);
       }, 1, "recorded device change 0x8000 of the camera's interface"},
  };
  for (const Case& hostile : cases) {
    std::string error;
    std::optional<record::Recording> recording = record::ReadRecordingFile(work.File("read.bbrec"), error);
    ASSERT_TRUE(recording) << error;
    hostile.change(recording->calls);
    record::RecordingWriter writer;
    ASSERT_TRUE(writer.Open(work.File("hostile.bbrec"), recording->header, 0));
    for (const record::Call& call : recording->calls) writer.Add(call);
    ASSERT_TRUE(writer.Close(recording->exitStatus));

    const test::Result replay = Run("replay --yes " + Quoted("hostile.bbrec") + " " + Quoted("out"));
    EXPECT_EQ(replay.status, hostile.status) << hostile.name << "\n" << replay.err;
    if (hostile.said[0] == '|') {
      EXPECT_THAT(replay.out, Contains(hostile.said.substr(1))) << hostile.name;
    } else {
      EXPECT_THAT(replay.err, HasSubstr(hostile.said)) << hostile.name;
    }
    EXPECT_THAT(replay.out, Not(Contains("Read Resource Files Success !!!"))) << hostile.name;
  }
}

// 33 faults make 71 arguments, more than a recording holds: refused before
// the camera is touched, not found out by the replay.
TEST_F(RecordReplayTest, ACommandLineARecordingCannotHoldIsRefusedUpFront) {
  std::string faults;
  for (int n = 1; n <= 33; ++n) faults += " --fault request:0x99:" + std::to_string(n);
  const test::Result run = Simulate("--record " + Quoted("long.bbrec") + faults + " versions");
  EXPECT_EQ(run.status, 2);
  EXPECT_THAT(run.err, HasSubstr("--record cannot record this command line: it has 71 arguments; a "
                                 "recording holds at most 64"));
  EXPECT_TRUE(run.out.empty());
  EXPECT_FALSE(std::filesystem::exists(work.Path() / "long.bbrec"));
}

TEST_F(RecordReplayTest, AChangedFirmwareByteStopsAtTheFirstBulkWriteThatDiffers) {
  const test::Result burn = Simulate("--record " + Quoted("burn.bbrec") + " burn");
  ASSERT_EQ(burn.status, 0) << burn.err;
  // A byte of the second 64 KiB piece, which the block padding makes 39168
  // bytes long; the first piece still matches.
  std::string firmware = test::Slurp(work.Path() / "fw.brn");
  ASSERT_EQ(firmware.size() / 0x10000, 1u);
  firmware[70000] ^= 1;
  work.Write("fw.brn", firmware);

  const test::Result replay = Run("replay " + Quoted("burn.bbrec"));
  EXPECT_EQ(replay.status, 1);
  EXPECT_THAT(replay.err, HasSubstr("FwFile " + work.File("fw.brn") + " is not the recorded file"));
  EXPECT_THAT(replay.err, ContainsRegex("the replay stops at call [0-9]+: recorded Write of 39168 bytes "
                                        "on handle [0-9]+, sha256 [0-9a-f]{64}; asked Write of 39168 "
                                        "bytes on handle [0-9]+, sha256 [0-9a-f]{64}"));
  // The log ends where the camera would have had the changed byte.
  ASSERT_LT(replay.out.size(), burn.out.size());
  EXPECT_EQ(replay.out, std::vector<std::string>(burn.out.begin(), burn.out.begin() + replay.out.size()));
  EXPECT_EQ(replay.out.back(), "  Write File....");
}

TEST_F(RecordReplayTest, ARecordingPrintsForPeopleToRead) {
  ASSERT_EQ(Simulate("--record " + Quoted("versions.bbrec") + " versions").status, 0);
  const test::Result printed = Run("recording " + Quoted("versions.bbrec"));
  EXPECT_EQ(printed.status, 0) << printed.err;
  ASSERT_GE(printed.out.size(), 8u);
  EXPECT_EQ(printed.out[0], "Burnbench recording, format 2");
  EXPECT_EQ(printed.out[4], "command   --simulate --virtual-clock --ini " + work.File("Isp.ini") + " versions");
  EXPECT_EQ(printed.out[5], "exit      0");
  // The set that listed the attached cameras before the run came first.
  EXPECT_EQ(printed.out[6], "#1 0.000000 s OpenInterfaceSet {cb519fa1-e908-11d2-aadd-0060673487b7} -> set 2");
  // The run's first search learns where its camera is plugged in.
  EXPECT_EQ(printed.out[11], "#6 0.000000 s ReadInterfaceLocation set 2 index 0 -> 1");
  EXPECT_EQ(printed.out[12], "#7 0.000000 s ReadInterfaceSerial set 2 index 0 -> SIM0001");
  // The camera's AP version, as the version check asked for it.
  EXPECT_THAT(printed.out, Contains("#11 0.000000 s IoControl 0x22000c on handle 2: request 0x20 value 0x0 "
                                    "index 0x0 length 8 in -> ok, received 8 bytes: 02 01 00 00 00 00 00 00"));
  EXPECT_EQ(Run("recording " + Quoted("missing.bbrec")).status, 2);

  // A text with control characters reaches the terminal escaped, never as
  // the sequence it is.
  const std::string odd = "Isp\x1b]0;retitled\x07.ini";
  std::filesystem::copy_file(work.Path() / "Isp.ini", work.Path() / odd);
  ASSERT_EQ(Run("--simulate --virtual-clock --ini " + Quoted(odd) + " --record " + Quoted("odd.bbrec") +
                " versions").status, 0);
  const test::Result shown = Run("recording " + Quoted("odd.bbrec"));
  EXPECT_THAT(shown.outText, HasSubstr("Isp\\x1b]0;retitled\\x07.ini versions\n"));
  EXPECT_THAT(shown.outText, Not(HasSubstr("\x1b")));
}

TEST_F(RecordReplayTest, UnusableRecordingsAndCommandLinesAreStatusTwo) {
  ASSERT_EQ(Simulate("--record " + Quoted("versions.bbrec") + " versions").status, 0);
  const std::string bytes = test::Slurp(work.Path() / "versions.bbrec");
  const std::vector<std::pair<std::string, std::string>> damaged = {
      {bytes.substr(0, bytes.size() - 40), "it is truncated"},
      {bytes.substr(0, 60) + char(bytes[60] ^ 4) + bytes.substr(61), "it is corrupted"},
      {bytes.substr(0, 8) + '\x03' + bytes.substr(9), "it is in format version 3; this program replays versions 1 to 2"},
  };
  for (const auto& [content, reason] : damaged) {
    work.Write("damaged.bbrec", content);
    const test::Result replay = Run("replay " + Quoted("damaged.bbrec"));
    EXPECT_EQ(replay.status, 2) << reason;
    EXPECT_THAT(replay.err, HasSubstr("cannot replay " + work.File("damaged.bbrec") + ": " + reason));
    EXPECT_TRUE(replay.out.empty());
  }
  EXPECT_THAT(Run("replay " + Quoted("missing.bbrec")).err, HasSubstr("it cannot be read"));
  EXPECT_THAT(Run("replay " + Quoted("versions.bbrec") + " " + Quoted("out")).err,
              HasSubstr("its command takes no folder or firmware"));
  EXPECT_THAT(Simulate("--record " + Quoted("no/such/folder.bbrec") + " versions").err,
              HasSubstr("cannot create the recording"));
  // A recording never takes the place of the job's own files.
  const std::string firmware = test::Slurp(work.Path() / "fw.brn");
  const test::Result onFirmware = Simulate("--record " + Quoted("fw.brn") + " burn");
  EXPECT_EQ(onFirmware.status, 2);
  EXPECT_THAT(onFirmware.err, HasSubstr("the recording " + work.File("fw.brn") + " would overwrite FwFile"));
  EXPECT_TRUE(onFirmware.out.empty());
  EXPECT_EQ(test::Slurp(work.Path() / "fw.brn"), firmware);
  EXPECT_THAT(Simulate("--record " + Quoted("Isp.ini") + " versions").err,
              HasSubstr("would overwrite the configuration file"));
  // Without a camera id no camera is looked for, and nothing is recorded.
  const test::Result noIds = Run("--ini " + Quoted("Isp.ini") + " --record " + Quoted("none.bbrec") + " versions");
  EXPECT_EQ(noIds.status, 2);
  EXPECT_THAT(noIds.err, HasSubstr("no camera USB id is configured"));
  EXPECT_FALSE(std::filesystem::exists(work.Path() / "none.bbrec"));
  for (const std::string& arguments : std::vector<std::string>{
           "replay " + Quoted("versions.bbrec") + " --simulate", "--record x.bbrec config",
        "--record x.bbrec replay " + Quoted("versions.bbrec"), "--simulate versions --record"}) {
    EXPECT_EQ(Run(arguments).status, 2) << arguments;
  }
  EXPECT_EQ(Run("replay " + Quoted("no/such/folder.bbrec")).status, 2);
}

// The recordings that tests/recordings keeps (simulated faults, and a burn in
// the Windows program under wine) replay here as they ran.
TEST_F(RecordReplayTest, TheKeptRecordingsReplayAsTheyRan) {
  const std::filesystem::path kept(BURNBENCH_RECORDINGS_DIR);
  const std::vector<std::pair<std::string, int>> recordings = {
      {"busy", 1}, {"no-storage", 1}, {"stalled-read", 1}, {"window-burn", 0}};
  for (const auto& [name, status] : recordings) {
    const std::string recording = (kept / (name + ".bbrec")).string();
    const test::Result replay = Run("--ini " + Quoted("Isp.ini") + " replay '" + recording + "'");
    EXPECT_EQ(replay.status, status) << name << "\n" << replay.err;
    EXPECT_EQ(replay.outText, test::Slurp(kept / (name + ".out"))) << name;
    EXPECT_THAT(replay.err, Not(HasSubstr("burnbench-cli:"))) << name;
  }
  EXPECT_THAT(Run("--ini " + Quoted("Isp.ini") + " replay '" + (kept / "stalled-read.bbrec").string() + "'").err,
              HasSubstr("error: [Corvane ISP] Error 27\nBulk READFILE Time Out error."));
}

}  // namespace
}  // namespace bb
