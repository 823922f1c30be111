// What the command-line program keeps of a run: the report's lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_process.h"
#include "support/disk_room.h"

namespace bb {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using test::CliProcessTest;
using test::Result;
using test::Slurp;

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

}  // namespace
}  // namespace bb
