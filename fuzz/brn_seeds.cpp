// Writes valid raw images and BRN files of a few shapes as seed corpora for
// the raw-image and BRN fuzzers. Built from the simulated camera's encoder, not
// from the code that the fuzzers exercise.
//
//   brn_seeds RAW_FOLDER BRN_FOLDER

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/sim_raw_image.h"

namespace {

std::vector<std::uint8_t> Counting(std::size_t count, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

struct Shape {
  const char* name;
  bb::sim::ImageContent content;
};

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s RAW_FOLDER BRN_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path rawFolder = argv[1];
  const std::filesystem::path brnFolder = argv[2];
  std::filesystem::create_directories(rawFolder);
  std::filesystem::create_directories(brnFolder);

  const std::vector<Shape> shapes = {
      {"empty-groups", {{}, {}, Counting(9, 0x40)}},
      {"group-a-only", {{{0x05, Counting(3, 0xA0)}}, {}, Counting(12, 0x10)}},
      {"both-groups",
       {{{0x05, Counting(3, 0xA0)}, {0x7F, Counting(7, 0xB0)}},
        {{0x80, Counting(2, 0xC0)}, {0x81, {}}, {0x123, Counting(5, 0xD0)}},
        Counting(20, 0x10)}},
      {"short-firmware",
       {{{0x01, Counting(4, 0x30)}}, {{0x90, Counting(4, 0x50)}}, Counting(8, 0)}},
  };
  bool written = true;
  for (const Shape& shape : shapes) {
    const std::string name = shape.name;
    written &= WriteFile(rawFolder / (name + ".raw"), bb::sim::EncodeRawImage(shape.content));
    written &= WriteFile(brnFolder / (name + ".brn"), bb::sim::EncodeBrnFile(shape.content, 0x100));
  }
  written &= WriteFile(rawFolder / "bare.raw", bb::sim::EncodeBareRawImage(Counting(16, 0x70)));
  written &= WriteFile(rawFolder / "length-only.raw", bb::sim::EncodeBareRawImage({}));
  return written ? 0 : 1;
}
