// Writes a raw image of about SIZE MiB with resources in both groups, and the
// BRN file it converts to, for the whole-process benchmarks.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sim/sample_image.h"
#include "sim/sim_raw_image.h"

namespace {

using bb::sim::PatternBytes;

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: make_large_image SIZE_MIB RAW_OUT BRN_OUT\n", stderr);
    return 2;
  }
  const std::size_t mebibytes = std::strtoul(argv[1], nullptr, 10);
  const std::size_t total = mebibytes << 20;
  bb::sim::ImageContent content;
  // A quarter in each group, in 1 MiB resources; the rest is the firmware part.
  const std::size_t resources = total / 4 >> 20;
  for (std::size_t i = 0; i < resources; ++i) {
    content.groupA.push_back({static_cast<std::uint16_t>(i % 0x7F), PatternBytes(1 << 20, static_cast<std::uint32_t>(i))});
    content.groupB.push_back({static_cast<std::uint16_t>(0x80 + i % 0x7F), PatternBytes(1 << 20, static_cast<std::uint32_t>(i + 7))});
  }
  content.firmware = PatternBytes(total - 2 * resources * (1 << 20), 99);
  if (!Write(argv[2], bb::sim::EncodeRawImage(content)) ||
      !Write(argv[3], bb::sim::EncodeBrnFile(content, 0x100))) {
    std::fputs("make_large_image: cannot write the files\n", stderr);
    return 1;
  }
  return 0;
}
