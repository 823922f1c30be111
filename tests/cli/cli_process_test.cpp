// The command-line program as a whole process: what it prints on each stream
// and the exit status it ends with.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/cli_process.h"
#include "cli/running_program.h"

namespace bb {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using test::CliProcessTest;
using test::Result;
using test::RunningProgram;
using test::Slurp;

TEST_F(CliProcessTest, AVerifiedBurnPrintsTheLogAsTheWindowShowsIt) {
  const Result result = Simulate("burn --verify");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out,
              ElementsAre("Download param.txt ...", "  Begin ... 0x1000(0x223)", "  OK!",
                          "Download core.bin ...", "  Begin ... 0x20000(0x6000)", "  OK!",
                          "Download firmware fw.brn ...", "  Write File Prepare...",
                          "  Write File....", "ISP Version(1,2,3,4)", "ISP Write File OK !!!", "",
                          "Read resource fw.brn.raw ...", "  Begin ... 0x800000(0x198ae)", "  OK!",
                          "  CORVANE 2860 BRN Header ...", "Read Verify Success !!!"));
  EXPECT_THAT(result.err, HasSubstr("[status] [Burn]: " + work.File("fw.brn")));
  EXPECT_TRUE(std::filesystem::exists(work.Path() / "fw.brn.raw.brn"));
}

TEST_F(CliProcessTest, AReadBackExportsTheSampleResources) {
  const Result result = Simulate("read '" + work.File("out") + "' --yes");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.back(), "Read Resource Files Success !!!");
  for (const char* file : {"firmware.bin", "A/logo.txt", "A/palette.bin", "B/menu.txt", "B/font.bin"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(work.Path() / "out" / file)) << file;
  }
  EXPECT_THAT(Slurp(work.Path() / "out" / "B" / "menu.txt"), HasSubstr("Language=English"));

  // A second read asks before replacing; without --yes the question stops it.
  const Result again = Simulate("read '" + work.File("out") + "'");
  EXPECT_EQ(again.status, 1);
  EXPECT_THAT(again.err, HasSubstr("Files are existed, do you want to overwrite them?"));
}

TEST_F(CliProcessTest, EachNamedFaultEndsWithItsLineAndStatusOne) {
  const std::vector<std::pair<std::string, std::string>> faults = {
      {"absent", "USB Connection Error !!!"},
      {"busy", "ISP Busy!"},
      {"no-storage", "ISP Fail.  Storage not existed."},
      {"write-timeout", "ISP Write File Timeout !!!"},
      {"verify-mismatch", "Verify Fail !!!"},
  };
  for (const auto& [fault, line] : faults) {
    const Result result = Simulate("--fault " + fault + " burn --verify");
    EXPECT_EQ(result.status, 1) << fault;
    ASSERT_FALSE(result.out.empty()) << fault;
    EXPECT_EQ(result.out.back(), line) << fault;
  }
}

TEST_F(CliProcessTest, MissingImageFilesFailWithTheirMessage) {
  std::filesystem::remove(work.Path() / "core.bin");
  const Result result = Simulate("burn");
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.out, ElementsAre("File(s) not found!"));
  EXPECT_THAT(result.err, HasSubstr("Error Isp Files !!!"));
}

TEST_F(CliProcessTest, TheOfflineCommandsNeedNoCamera) {
  ASSERT_EQ(Simulate("read '" + work.File("out") + "' --yes").status, 0);
  const std::string raw = work.File("out/fw.brn.raw");
  const std::string brn = work.File("again.brn");
  const std::string ini = "--ini '" + work.File("Isp.ini") + "' ";
  Result result = Run(ini + "convert '" + raw + "' '" + brn + "'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out, ElementsAre("  CORVANE 2860 BRN Header ..."));
  EXPECT_EQ(Run("compare '" + brn + "' '" + work.File("fw.brn") + "'").status, 0);
  EXPECT_EQ(Run("compare '" + work.File("fw.brn") + "' '" + work.File("core.bin") + "'").status, 1);

  std::filesystem::create_directories(work.Path() / "exported");
  result = Run("export '" + brn + "' '" + work.File("exported") + "'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(work.Path() / "exported" / "A" / "Res_0x5.res"));
  EXPECT_TRUE(std::filesystem::is_regular_file(work.Path() / "exported" / "Res_0x100.res"));

  // The program takes its sub folders as the window does: a link is refused.
  std::filesystem::create_directories(work.Path() / "linked" / "A");
  std::filesystem::create_directories(work.Path() / "elsewhere");
  std::filesystem::create_directory_symlink(work.Path() / "elsewhere", work.Path() / "linked" / "B");
  result = Run("export '" + brn + "' '" + work.File("linked") + "'");
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.out, ElementsAre("Cannot create sub directory \".\\B\" !!!"));
  EXPECT_TRUE(std::filesystem::is_empty(work.Path() / "elsewhere"));
}

// The export's stop box is an error: the program marks it as one and fails,
// although the log, like the window's, ends in the export's success line.
TEST_F(CliProcessTest, AnExportStoppedByItsBoxIsAnError) {
  std::filesystem::create_directories(work.Path() / "stopped" / "A");
  std::filesystem::create_directories(work.Path() / "far");
  std::ofstream(work.Path() / "far" / "victim") << "keep";
  std::filesystem::create_symlink(work.Path() / "far" / "victim",
                                  work.Path() / "stopped" / "A" / "Res_0x5.res");
  const Result result = Run("export '" + work.File("fw.brn") + "' '" + work.File("stopped") + "'");
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.out, ElementsAre("Read Resource Files Success !!!"));
  EXPECT_THAT(result.err, HasSubstr("error: [burnbench-cli] Export file error, break!\n"));
  EXPECT_EQ(Slurp(work.Path() / "far" / "victim"), "keep");
}

// An entry that is the file being exported (by its own name or another), or
// the read-back's raw image or BRN file, stops the walk before it is opened
// for writing: none of them loses a byte.
TEST_F(CliProcessTest, AnEntryThatIsAFileOfTheExportItselfStopsTheWalkAndKeepsIt) {
  const std::filesystem::path t1 = work.Path() / "t1";
  std::filesystem::create_directories(t1);
  std::filesystem::copy_file(work.Path() / "fw.brn", t1 / "fw.brn");
  std::filesystem::create_hard_link(t1 / "fw.brn", t1 / "second.brn");
  const std::string original = Slurp(t1 / "fw.brn");
  for (const char* name : {"fw.brn", "second.brn"}) {
    std::ofstream(t1 / "files.ini") << "[FW]\nRes_0x100.res=" << name << "\n";
    const Result result = Run("export '" + work.File("t1/fw.brn") + "' '" + work.File("t1") + "'");
    EXPECT_EQ(result.status, 1) << name;
    EXPECT_THAT(result.err, HasSubstr("error: [burnbench-cli] Export file error, break!\n")) << name;
    EXPECT_TRUE(Slurp(t1 / "fw.brn") == original) << name;
  }

  const std::filesystem::path out = work.Path() / "out";
  ASSERT_EQ(Simulate("read '" + out.string() + "' --yes").status, 0);
  const std::string raw = Slurp(out / "fw.brn.raw");
  const std::string brn = Slurp(out / "fw.brn.brn");
  for (const char* name : {"fw.brn.brn", "fw.brn.raw"}) {
    std::ofstream(out / "files.ini") << "[FW]\nRes_0x100.res=" << name << "\n";
    const Result result = Simulate("read '" + out.string() + "' --yes");
    EXPECT_EQ(result.status, 1) << name;
    EXPECT_THAT(result.err, HasSubstr("error: [burnbench-cli] Export file error, break!\n")) << name;
    EXPECT_TRUE(Slurp(out / "fw.brn.raw") == raw) << name;
    EXPECT_TRUE(Slurp(out / "fw.brn.brn") == brn) << name;
  }
}

TEST_F(CliProcessTest, ConfigShowsWhatTheToolUnderstood) {
  const Result result = Run("config --ini '" + work.File("Isp.ini") + "'");
  EXPECT_EQ(result.status, 0) << result.err;
  ASSERT_GE(result.out.size(), 12u);
  EXPECT_EQ(result.out[0], "ChipID = 10");
  EXPECT_EQ(result.out[1], "ParamAddress2860 = 4096");
  EXPECT_EQ(result.out[3], "DramAddress2860 = 3145728");
  EXPECT_EQ(result.out[8], "FwFile = " + work.File("fw.brn"));
  EXPECT_EQ(result.out[10], "FwFileID = 256");
  EXPECT_EQ(result.out[result.out.size() - 2], "NormalNand = 0");
  EXPECT_EQ(result.out.back(), "Ids = ");
}

TEST_F(CliProcessTest, TheFileNamedByIniIsTheWholeConfiguration) {
  // A second job beside the sample's Isp.ini: another firmware file and
  // another parameter address.
  std::filesystem::copy_file(work.Path() / "fw.brn", work.Path() / "other.brn");
  const std::string ini = JobWith("other.ini", {{"FwFile=fw.brn", "FwFile=other.brn"},
                                                {"ParamAddress2860=0x00001000", "ParamAddress2860=0x00002000"}});

  const Result config = Run(ini + "config");
  ASSERT_GE(config.out.size(), 9u);
  EXPECT_EQ(config.out[1], "ParamAddress2860 = 8192");
  EXPECT_EQ(config.out[8], "FwFile = " + work.File("other.brn"));

  const Result burn = Run(ini + "--simulate --virtual-clock burn");
  EXPECT_EQ(burn.status, 0) << burn.err;
  EXPECT_THAT(burn.out, Contains("  Begin ... 0x2000(0x223)"));
  EXPECT_THAT(burn.out, Contains("Download firmware other.brn ..."));
}

// Opening a FIFO for reading waits for a writer, and a device may never end:
// where a file is expected, both are refused at once as files that cannot be
// opened.
TEST_F(CliProcessTest, FifosAndDevicesAreRefusedWithoutWaiting) {
  const std::string fifo = work.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<std::pair<std::string, std::string>> images = {
      {"ParamFile=param.txt", "Error Parameter Files !!!"},
      {"IspFile=core.bin", "Error Isp Files !!!"},
      {"FwFile=fw.brn", "Error Fw Files !!!"}};
  for (const auto& [line, message] : images) {
    for (const std::string& special : {fifo, std::string("/dev/zero")}) {
      const std::string key = line.substr(0, line.find('=') + 1);
      const Result result =
          Run(JobWith("special.ini", {{line, key + special}}) + "--simulate --virtual-clock burn");
      EXPECT_EQ(result.status, 1) << key << special;
      EXPECT_THAT(result.out, ElementsAre("File(s) not found!")) << key << special;
      EXPECT_THAT(result.err, HasSubstr(message)) << key << special;
    }
  }
  const std::string quoted = "'" + fifo + "' ";
  const std::string sample = "'" + work.File("fw.brn") + "' ";
  EXPECT_EQ(Run("config --ini " + quoted).status, 2);
  EXPECT_EQ(Run("convert " + quoted + "'" + work.File("x.brn") + "'").status, 2);
  EXPECT_EQ(Run("export " + quoted + "'" + work.File("out") + "'").status, 2);
  EXPECT_EQ(Run("compare " + quoted + sample).status, 2);
  EXPECT_EQ(Run("compare " + sample + quoted).status, 2);

  // A list of names that cannot be read names nothing: the entries keep their keys.
  std::filesystem::create_directories(work.Path() / "listed");
  ASSERT_EQ(mkfifo(work.File("listed/files.ini").c_str(), 0600), 0);
  const Result exported = Run("export " + sample + "'" + work.File("listed") + "'");
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(work.Path() / "listed" / "Res_0x100.res"));
}

// An empty image was burned as nothing, and the log ended in success.
TEST_F(CliProcessTest, AnEmptyImageFileIsRefusedBeforeAnythingIsSent) {
  for (const char* name : {"param.txt", "core.bin", "fw.brn"}) {
    const std::filesystem::path image = work.Path() / name;
    const std::string kept = Slurp(image);
    work.Write(name, "");
    const Result result = Simulate("burn");
    EXPECT_EQ(result.status, 1) << name;
    EXPECT_THAT(result.out, ElementsAre("File " + work.File(name) + " is empty !!!"));
    work.Write(name, kept);
  }
}

// The lines `pin` prints are what it wrote: "Key = hex" in the output,
// "Key=hex" in the file, ended like the file's lines.
std::string PinLines(const std::vector<std::string>& printed, const std::string& lineEnd) {
  std::string lines;
  for (const std::string& line : printed) {
    // Built from parts: GCC 12 at -O3 takes replace() here for an overlapping copy (-Wrestrict).
    const std::size_t cut = line.find(" = ");
    lines += line.substr(0, cut) + "=" + line.substr(cut + 3) + lineEnd;
  }
  return lines;
}

TEST_F(CliProcessTest, PinWritesTheThreeHashesAndEveryBurnChecksThem) {
  const std::string ini = work.File("Isp.ini");
  const std::string before = Slurp(ini);
  const Result pinned = Run("pin --ini '" + ini + "'");
  EXPECT_EQ(pinned.status, 0) << pinned.err;
  ASSERT_EQ(pinned.out.size(), 3u);
  EXPECT_THAT(pinned.out[0], ::testing::StartsWith("ParamSha256 = "));
  EXPECT_THAT(pinned.out[1], ::testing::StartsWith("IspSha256 = "));
  EXPECT_THAT(pinned.out[2], ::testing::StartsWith("FwSha256 = "));
  // The keys join the end of the job's section; every other byte stays.
  const std::string lineEnd = before.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  const std::string sectionEnd = "AutoPowerDown2860=0" + lineEnd;
  std::string expected = before;
  expected.insert(expected.find(sectionEnd) + sectionEnd.size(), PinLines(pinned.out, lineEnd));
  const std::string after = Slurp(ini);
  EXPECT_EQ(after, expected);
  EXPECT_THAT(Run("config --ini '" + ini + "'").out, Contains(pinned.out[2]));

  const Result burned = Simulate("burn --verify");
  EXPECT_EQ(burned.status, 0) << burned.err;
  EXPECT_EQ(burned.out.back(), "Read Verify Success !!!");
  EXPECT_EQ(Run("pin --ini '" + ini + "'").status, 0);
  EXPECT_EQ(Slurp(ini), after) << "pinning the same files again changes nothing";

  // One wrong digit: the run stops with both hashes before a single line of transfer.
  const std::string right = pinned.out[2].substr(pinned.out[2].size() - 64);
  std::string wrong = right;
  wrong[63] = wrong[63] == 'f' ? 'e' : 'f';
  work.Write("Isp.ini", std::string(after).replace(after.find(right), 64, wrong));
  const Result refused = Simulate("burn");
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.out, ElementsAre("SHA-256 mismatch: " + work.File("fw.brn") + " is " + right +
                                       ", FwSha256 is " + wrong + " !!!"));

  // Nothing is pinned, or written, while an image cannot be hashed.
  std::filesystem::remove(work.Path() / "core.bin");
  const std::string unchanged = Slurp(ini);
  const Result unreadable = Run("pin --ini '" + ini + "'");
  EXPECT_EQ(unreadable.status, 2);
  EXPECT_EQ(unreadable.err, "burnbench-cli: cannot read " + work.File("core.bin") +
                                " to pin it as IspSha256\n");
  EXPECT_EQ(Slurp(ini), unchanged);
}

// Ctrl-C while the run waits for a camera that does not come back: the run
// ends there, and says at once and at its end why.
TEST_F(CliProcessTest, CtrlCEndsAWaitingRunAndSaysSo) {
  const std::filesystem::path err = work.Path() / "stderr.txt";
  RunningProgram program({"--simulate", "--virtual-clock", "--fault", "no-return", "--wait", "86400",
                          "--ini", work.File("Isp.ini"), "burn"},
                         err);
  std::vector<std::string> out;
  while (std::optional<std::string> line = program.NextLine()) {
    out.push_back(*line);
    if (*line == "  Write File....") break;
  }
  ASSERT_FALSE(out.empty());
  ASSERT_EQ(out.back(), "  Write File....");
  program.Interrupt();
  EXPECT_EQ(program.Status(), 130);
  EXPECT_THAT(Slurp(err),
              ::testing::EndsWith("\ninterrupted: the run ends when the camera is safe; "
                                  "Ctrl-C again to quit at once\ninterrupted\n"));
}

TEST_F(CliProcessTest, UnusableCommandLinesAndFilesAreStatusTwo) {
  for (const char* arguments : {"", "frobnicate", "--bogus versions", "read", "--fault busy burn",
                                "--simulate --fault melted burn", "--verify read x", "--ini"}) {
    EXPECT_EQ(Run(arguments).status, 2) << arguments;
  }
  EXPECT_EQ(Run("config --ini '" + work.File("missing.ini") + "'").status, 2);
  EXPECT_EQ(Run("convert '" + work.File("missing.raw") + "' '" + work.File("x.brn") + "'").status, 2);
  EXPECT_EQ(Run("compare '" + work.File("missing") + "' '" + work.File("fw.brn") + "'").status, 2);
  EXPECT_EQ(Simulate("read '" + work.File("no-such-folder") + "'").status, 2);
}

// A poll count no run accepts stops burn and read before the camera hears
// anything (with a camera that is not there, the stage query would fail),
// and config marks it.
TEST_F(CliProcessTest, AnIspTimeoutOutOfRangeIsAFileThatCannotBeUsed) {
  const std::string ini = JobWith("polls.ini", {{"IspTimeoutSec=30", "IspTimeoutSec=-1"}});
  const std::string line = "IspTimeoutSec is -1, outside the range 0 to 720 !!!";
  for (const std::string& command :
       std::vector<std::string>{"burn --verify", "burn --param-only", "read '" + work.File("out") + "' --yes"}) {
    const Result result = Run(ini + "--simulate --virtual-clock --fault absent " + command);
    EXPECT_EQ(result.status, 2) << command;
    EXPECT_THAT(result.out, ElementsAre(line)) << command;
  }
  EXPECT_THAT(Run(ini + "config").out, Contains("IspTimeoutSec = -1 (outside the range 0 to 720)"));
  EXPECT_THAT(Run("config --ini '" + work.File("Isp.ini") + "'").out, Contains("IspTimeoutSec = 30"));
}

TEST_F(CliProcessTest, HelpAndVersion) {
  Result result = Run("--help");
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(result.out.front(), HasSubstr("Usage: burnbench-cli"));
  result = Run("--version");
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(result.out, ElementsAre("burnbench-cli 5.5.2.0"));
  EXPECT_EQ(Simulate("versions").status, 0);
  EXPECT_EQ(Simulate("--fault absent versions").status, 1);
}

// The legacy download against a simulated VEXA616 or VEXA611, its cores beside
// the work folder's Isp.ini.
class CliLegacyTest : public CliProcessTest {
 protected:
  CliLegacyTest() {
    std::ofstream(work.Path() / "Isp.ini", std::ios::app)
        << "\n[616]\nCoreAddress616_MR=0x12000\nDramAddress616_MR=0x220000\n"
           "NandReserveSize616=0x6160\n";
    for (const char* name : {"ispmask-rom.bin", "usbisp.bin"}) {
      std::ofstream(work.Path() / name, std::ios::binary) << std::string(3000, 'c');
    }
    std::ofstream(work.Path() / "fw.bin", std::ios::binary) << std::string(1000, 'f');
  }
  std::string Firmware() const { return "'" + work.File("fw.bin") + "'"; }
};

TEST_F(CliLegacyTest, AConfirmedDownloadEndsWithTheOneLineOfSuccess) {
  const Result result = Simulate("legacy --chip 616 --mode mask --media rom --yes " + Firmware());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out,
              ElementsAre("Ready to download ispmask-rom.bin ...",
                          "Begin to download ispmask-rom.bin ...", "Download ispmask-rom.bin OK!",
                          "ISP Write File Prepare...", "ISP Write File....", "ISP Write File OK."));
  EXPECT_THAT(result.err, HasSubstr("[status] F/W: " + work.File("fw.bin")));
  // The question answered yes is no error.
  EXPECT_THAT(result.err, HasSubstr("[Question] Are you sure to down the file"));
  EXPECT_THAT(result.err, Not(HasSubstr("error: ")));
}

TEST_F(CliLegacyTest, WithoutYesTheQuestionStopsTheRunBeforeTheFirmware) {
  const Result result = Simulate("legacy --chip 611 " + Firmware());
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.err, HasSubstr("[Question] Are you sure to down the file to your camera?\nPath:" +
                                    work.File("fw.bin")));
  ASSERT_FALSE(result.out.empty());
  EXPECT_EQ(result.out.back(), "Download usbisp.bin OK!");
}

TEST_F(CliLegacyTest, FailuresEndWithTheirLineAndStatusOne) {
  Result result = Simulate("legacy --chip 616 --yes " + Firmware());
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.out, ElementsAre("Ready to download  ...", "Open \"\" error..."));

  // A busy camera ends the press with the line that says the write failed.
  result = Simulate("--fault busy legacy --chip 611 --yes " + Firmware());
  EXPECT_EQ(result.status, 1);
  ASSERT_GE(result.out.size(), 2u);
  EXPECT_EQ(result.out.end()[-2], "ISP Write File Prepare...");
  EXPECT_EQ(result.out.back(), "  Fail!");
}

TEST_F(CliLegacyTest, FifosAreRefusedAsCoreFirmwareOrBadPixelTable) {
  const std::string fifo = work.File("fifo.bin");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Simulate("legacy --chip 611 --yes '" + fifo + "'").status, 2);

  std::ofstream(work.Path() / "Isp.ini", std::ios::app)
      << "[BadPixel]\nLinkFlag=1\nBadpixelFile=" << fifo << "\n";
  Result result = Simulate("legacy --chip 611 --yes " + Firmware());
  EXPECT_EQ(result.status, 1);
  ASSERT_FALSE(result.out.empty());
  EXPECT_EQ(result.out.back(), "Download usbisp.bin OK!");

  std::filesystem::remove(work.Path() / "usbisp.bin");
  ASSERT_EQ(mkfifo(work.File("usbisp.bin").c_str(), 0600), 0);
  result = Simulate("legacy --chip 611 --yes " + Firmware());
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.out, ElementsAre("Ready to download usbisp.bin ...", "Open \"usbisp.bin\" error..."));
}

TEST_F(CliLegacyTest, UnusableLegacyCommandLinesAreStatusTwo) {
  const std::vector<std::string> unusable = {
      "legacy",
      "legacy " + Firmware(),
      "legacy --chip 612 " + Firmware(),
      "legacy --chip 616 --mode mask " + Firmware(),
      "legacy --chip 616 --mode rom --media nand " + Firmware(),
      "legacy --chip 616 --mode mask --media tape " + Firmware(),
      "--chip 611 burn",
      "legacy --chip 611 '" + work.File("missing.bin") + "'",
  };
  for (const std::string& arguments : unusable) {
    EXPECT_EQ(Simulate(arguments).status, 2) << arguments;
  }
}

}  // namespace
}  // namespace bb
