// The database of runs at 100,000 runs: the time of `history --serial` in the
// process (the store's query of one camera's runs, newest first) and the
// database's size per run. The runs look like a line's burns with a verify:
// three images, a read-back and a log of 25 lines each. The database stays at
// BURNBENCH_RECORDS_DB when that names a file, for whole_process.sh to ask
// with the program itself.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sqlite/sqlite_run_store.h"
#include "platform/std/system_clock.h"
#include "util/format.h"

namespace bb {
namespace {

constexpr std::size_t kRuns = 100000;

RunRow Run(std::size_t i) {
  RunRow row;
  row.runId = Format("%08zx-0000-4000-8000-%012zx", i, i);
  row.startUtcMs = 1714566896789 + static_cast<std::int64_t>(i) * 20000;
  row.endUtcMs = row.startUtcMs + 19500;
  row.command = "burn --verify";
  row.slot = std::string(1, static_cast<char>('A' + i % 8));
  row.location = Format("1-%zu", 1 + i % 8);
  row.interfacePath = Format("\\\\?\\usb#vid_0c45&pid_2860#%zu#{cb519fa1-e908-11d2-aadd-0060673487b7}", i);
  row.serial = Format("SN%06zu", i % (kRuns / 2));  // each camera twice
  row.ispVersion = "1.2.3.4";
  Sha256Digest digest{};
  digest[0] = static_cast<std::uint8_t>(i);
  for (const char* key : {"ParamFile", "IspFile", "FwFile"}) {
    row.files.push_back({key, std::string("/srv/jobs/line-2/") + key + ".bin", FileDigest{digest, 104644}});
  }
  row.result = i % 50 == 0 ? kResultFailed : kResultOk;
  row.exitStatus = i % 50 == 0 ? 1 : 0;
  for (int line = 0; line < 25; ++line) row.log.push_back(Format("  Step %d of the burn ... OK!", line));
  row.lastLogLine = "Read Verify Success !!!";
  row.readBack = FileDigest{digest, 104622};
  return row;
}

std::string DatabasePath() {
  const char* given = std::getenv("BURNBENCH_RECORDS_DB");
  if (given != nullptr && *given != '\0') return given;
  return (std::filesystem::temp_directory_path() / ("burnbench-bench-runs-" + std::to_string(getpid()) + ".db"))
      .string();
}

// The database of kRuns runs, filled once per process in batches of one
// transaction each.
const std::string& FilledDatabase() {
  static const std::string path = [] {
    const std::string db = DatabasePath();
    std::filesystem::remove(db);
    SystemClock clock;
    OpenedStore opened = OpenRunStore(db, StoreUse::kWrite, StoreWaits{clock});
    std::vector<RunRow> batch;
    for (std::size_t i = 0; i < kRuns; ++i) {
      batch.push_back(Run(i));
      if (batch.size() < 5000 && i + 1 < kRuns) continue;
      std::size_t added = 0;
      std::string why;
      if (!opened.store->AddAll(batch, added, why) || added != batch.size()) std::abort();
      batch.clear();
    }
    return db;
  }();
  return path;
}

void BM_HistoryBySerial(benchmark::State& state) {
  const std::string& db = FilledDatabase();
  SystemClock clock;
  OpenedStore opened = OpenRunStore(db, StoreUse::kRead, StoreWaits{clock});
  std::size_t found = 0;
  for (auto _ : state) {
    RunFilter filter;
    filter.serial = "sn012345";
    std::vector<RunRow> rows;
    std::string why;
    if (!opened.store->Find(filter, rows, why)) state.SkipWithError(why.c_str());
    found = rows.size();
    benchmark::DoNotOptimize(rows);
  }
  if (found != 2) state.SkipWithError("the camera's two runs were not found");
  opened.store.reset();
  // Closed, the database holds every page in its main file.
  std::error_code error;
  const auto size = std::filesystem::file_size(db, error);
  if (error) state.SkipWithError("the database has no size");
  state.counters["db_bytes_per_run"] = static_cast<double>(size) / static_cast<double>(kRuns);
}
BENCHMARK(BM_HistoryBySerial)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bb

BENCHMARK_MAIN();
