#include "sim/sample_image.h"

#include <string>

namespace bb::sim {

std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = seed;
  for (std::uint8_t& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

namespace {

std::vector<std::uint8_t> Text(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace

ImageContent SampleImageContent() {
  ImageContent content;
  content.groupA = {
      {0x01, Text("Burnbench sample resource: start-up logo placeholder\n")},
      {0x05, PatternBytes(2048, 5)},
  };
  content.groupB = {
      {0x80, Text("Burnbench sample resource: menu strings\nLanguage=English\n")},
      {0x81, PatternBytes(4096, 0x81)},
  };
  content.firmware = PatternBytes(96 * 1024, 0x100);
  return content;
}

std::vector<std::uint8_t> SampleParameterFile() {
  std::string text = "; Burnbench sample DRAM parameters\n";
  for (int i = 0; i < 32; ++i) text += "0x" + std::to_string(0x1000 + i * 4) + " = 0x0000\n";
  return Text(text);
}

std::vector<std::uint8_t> SampleIspCore() { return PatternBytes(24 * 1024, 0x15C); }

}  // namespace bb::sim
