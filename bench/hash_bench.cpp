// How fast an image is hashed for its pin: HashFile over a file in the page
// cache (written, then read once before timing), reported in MiB/s, and the
// hash alone over memory for comparison.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "util/sha256.h"

namespace bb {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + (i >> 12));
  return bytes;
}

void BM_HashFile(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0)) << 20;
  // A name of this process's own: several benchmarks may run on the machine at once.
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("burnbench-bench-hash-" + std::to_string(getpid()) + ".bin");
  const std::vector<std::uint8_t> bytes = Pattern(size);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
  // One untimed pass puts the file in the page cache.
  if (!HashFile(path.string())) state.SkipWithError("the file cannot be hashed");
  for (auto _ : state) {
    std::optional<FileDigest> digest = HashFile(path.string());
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(size));
  std::filesystem::remove(path);
}
BENCHMARK(BM_HashFile)->Arg(64)->Arg(256)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_HashMemory(benchmark::State& state) {
  const std::vector<std::uint8_t> bytes = Pattern(std::size_t{64} << 20);
  Sha256 hash;
  for (auto _ : state) {
    hash.Update(bytes);
    Sha256Digest digest = hash.Finish();
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_HashMemory)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bb

BENCHMARK_MAIN();
