// What the command-line program keeps of a run and of a job: the report's
// lines, and the pins that `pin` writes into Isp.ini.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_process.h"
#include "cli/running_program.h"
#include "support/disk_room.h"
#include "util/json_text.h"
#include "util/sha256.h"

namespace bb {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using test::CliProcessTest;
using test::Result;
using test::Slurp;

std::string FileEntry(const std::string& key, const std::string& path,
                      const std::optional<FileDigest>& digest) {
  std::string entry = "\"" + key + "\":{\"path\":" + JsonString(path);
  if (!digest) return entry + ",\"sha256\":null,\"size\":null}";
  return entry + ",\"sha256\":\"" + ToHex(digest->digest) + "\",\"size\":" +
         std::to_string(digest->size) + "}";
}

// The report tells each image as the run read it: of a firmware that grows
// once it has gone to the camera, the bytes that went; of a run stopped by a
// pin before anything was sent, what its check found, and nothing of the
// files it never read.
TEST_F(CliProcessTest, TheReportTellsTheImagesAsTheRunReadThem) {
  const std::string report = work.File("runs.jsonl");
  const std::string firmware = work.File("fw.brn");
  const std::optional<FileDigest> sent = HashFile(firmware);
  ASSERT_TRUE(sent);
  test::RunningProgram program({"--simulate", "--virtual-clock", "--fault", "no-return", "--wait",
                                "86400", "--ini", work.File("Isp.ini"), "--report", report, "burn"},
                               work.Path() / "stderr.txt");
  while (std::optional<std::string> line = program.NextLine()) {
    if (*line == "  Write File....") break;
  }
  std::ofstream(firmware, std::ios::app | std::ios::binary) << 'x';
  program.Interrupt();
  EXPECT_EQ(program.Status(), 130);
  EXPECT_THAT(Slurp(report), HasSubstr(FileEntry("FwFile", firmware, sent)));

  std::string wrong(64, '0');
  const Result refused = Run(JobWith("pinned.ini", {{"AutoPowerDown2860=0", "FwSha256=" + wrong}}) +
                             "--simulate --virtual-clock burn --report '" + report + "'");
  EXPECT_EQ(refused.status, 1);
  const std::vector<std::string> lines = test::Lines(Slurp(report));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[1], HasSubstr(FileEntry("ParamFile", work.File("param.txt"), std::nullopt) + "," +
                                  FileEntry("IspFile", work.File("core.bin"), std::nullopt) + "," +
                                  FileEntry("FwFile", firmware, HashFile(firmware)) + "}"));
}

// Several programs share one report: a line that follows a damaged tail
// starts on its own line, and an append the disk could not take whole is
// taken back; the run itself is not failed by its report.
TEST_F(CliProcessTest, AReportLineIsWholeOnALineOfItsOwnOrNotThereAtAll) {
  const std::string report = work.File("runs.jsonl");
  const std::string earlier = "{\"note\":\"" + std::string(2000, 'n') + "\"}";
  const std::string damaged = "{\"command\":\"v";
  work.Write("runs.jsonl", earlier + "\n" + damaged);
  EXPECT_EQ(Simulate("versions --report '" + report + "'").status, 0);
  const std::vector<std::string> lines = test::Lines(Slurp(report));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], damaged);
  EXPECT_THAT(lines[2], StartsWith("{\"start\":\""));
  EXPECT_THAT(lines[2], ::testing::EndsWith("}"));

  const std::string before = Slurp(report);
  Result full;
  {
    const test::DiskRoom room(before.size() + 40);
    full = Simulate("versions --report '" + report + "'");
  }
  EXPECT_EQ(full.status, 0);
  EXPECT_THAT(full.err, HasSubstr("burnbench-cli: cannot write the run report to " + report));
  EXPECT_EQ(Slurp(report), before);
}

// pin writes all its keys in one replacement of Isp.ini: a write that fails
// leaves the file byte for byte and says why; one that succeeds replaces the
// file a link leads to (the link stays) with its mode and its line ends. With
// a bad-pixel table merged, its pin is written too.
TEST_F(CliProcessTest, PinReplacesIspIniWholeOrLeavesItAsItWas) {
  const std::filesystem::path real = work.Path() / "real";
  std::filesystem::create_directories(real);
  const std::string table = work.Write("badpixel.bin", std::string(512, 'b'));
  const std::string before =
      Slurp(work.Path() / "Isp.ini") + "[BadPixel]\r\nLinkFlag=1\r\nBadpixelFile=" + table + "\r\n";
  std::filesystem::remove(work.Path() / "Isp.ini");
  std::ofstream(real / "Isp.ini", std::ios::binary) << before;
  std::filesystem::permissions(real / "Isp.ini", std::filesystem::perms(0640));
  std::filesystem::create_symlink(real / "Isp.ini", work.Path() / "Isp.ini");
  const std::string ini = "--ini '" + work.File("Isp.ini") + "' ";

  Result failed;
  {
    const test::DiskRoom room(before.size());
    failed = Run(ini + "pin");
  }
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, "burnbench-cli: cannot write ParamSha256, IspSha256, FwSha256, "
                        "BadPixelSha256 into " + work.File("Isp.ini") + ": File too large\n");
  EXPECT_EQ(Slurp(real / "Isp.ini"), before);

  const Result pinned = Run(ini + "pin");
  EXPECT_EQ(pinned.status, 0) << pinned.err;
  const std::string tableHex = ToHex(HashFile(table)->digest);
  ASSERT_EQ(pinned.out.size(), 4u);
  EXPECT_EQ(pinned.out[3], "BadPixelSha256 = " + tableHex);
  std::string expected = before;
  std::string pins;
  for (std::size_t i = 0; i < 3; ++i) {
    std::string line = pinned.out[i];
    pins += line.replace(line.find(" = "), 3, "=") + "\r\n";
  }
  expected.insert(expected.find("[MaskFlag]"), pins);
  expected += "BadPixelSha256=" + tableHex + "\r\n";
  EXPECT_EQ(Slurp(real / "Isp.ini"), expected);
  EXPECT_TRUE(std::filesystem::is_symlink(work.Path() / "Isp.ini"));
  struct stat info {};
  ASSERT_EQ(stat((real / "Isp.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(real), {}), 1);
}

}  // namespace
}  // namespace bb
