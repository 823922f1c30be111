#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace bb::sim {

// The camera's own encoder for the images it stores and serves for reading.
// It shares nothing with the tool's conversion, so that tests of the tool
// compare two independent readings of the same layouts.

struct ImageEntry {
  std::uint16_t id = 0;
  std::vector<std::uint8_t> data;
};

// A firmware image by its parts: two resource groups and the firmware itself.
struct ImageContent {
  std::vector<ImageEntry> groupA;
  std::vector<ImageEntry> groupB;
  std::vector<std::uint8_t> firmware;
};

// The BRN file of the content; the firmware entry, last in the directory,
// carries `firmwareId`.
std::vector<std::uint8_t> EncodeBrnFile(const ImageContent& content, std::uint16_t firmwareId);

// The raw image with both groups, as the camera stores it.
std::vector<std::uint8_t> EncodeRawImage(const ImageContent& content);

// The raw image of firmware burned without resources: length and bytes only.
std::vector<std::uint8_t> EncodeBareRawImage(std::span<const std::uint8_t> firmware);

// The parts of a BRN file, or nullopt when the bytes are not a well-formed one.
std::optional<ImageContent> DecodeBrnFile(std::span<const std::uint8_t> brn);

// What a camera burned with this BRN file delivers when it is read back.
std::optional<std::vector<std::uint8_t>> RawImageFromBrn(std::span<const std::uint8_t> brn);

}  // namespace bb::sim
