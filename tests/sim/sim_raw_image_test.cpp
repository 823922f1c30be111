#include "sim/sim_raw_image.h"

#include <gtest/gtest.h>

#include <vector>

namespace bb::sim {
namespace {

const ImageContent kSmallImage{{{0x05, {0xAA, 0xBB}}}, {}, {1, 2, 3}};

TEST(SimRawImageTest, LaysOutARawImageAsTheCameraStoresIt) {
  const std::vector<std::uint8_t> expected{
      0, 0, 0, 3, 1, 2, 3,                 // firmware length and bytes
      0, 0, 0, 1, 0, 0, 0, 12,             // group A: one entry, 10 + 2 bytes
      0, 5, 0, 0, 0, 0, 0, 0, 0, 2,        // id 5 at offset 0 of the group's data, 2 bytes
      0xAA, 0xBB, 0x01, 0x65,              // data, then the camera's sum of it
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0};       // group B: empty
  EXPECT_EQ(EncodeRawImage(kSmallImage), expected);
}

TEST(SimRawImageTest, LaysOutABrnFile) {
  const std::vector<std::uint8_t> expected{
      'C', 'O', 'R', 'V', 'A', 'N', 'E', ' ', '2', '8', '6', '0', 0, 0, 0, 0,
      0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0,  // counts and data sizes
      0, 5, 0, 0, 0, 54, 0, 0, 0, 2,                   // first data byte at 32 + 20 + 2
      1, 0, 0, 0, 0, 56, 0, 0, 0, 3,
      0x24, 0x6D, 0xAA, 0xBB, 1, 2, 3, 0x7F, 0x7E};
  EXPECT_EQ(EncodeBrnFile(kSmallImage, 0x100), expected);
}

TEST(SimRawImageTest, ReadsBackTheImageThatABrnFileHolds) {
  const auto raw = RawImageFromBrn(EncodeBrnFile(kSmallImage, 0x100));
  ASSERT_TRUE(raw.has_value());
  EXPECT_EQ(*raw, EncodeRawImage(kSmallImage));
}

TEST(SimRawImageTest, ServesNoImageForBytesThatAreNoBrnFile) {
  const std::vector<std::uint8_t> good = EncodeBrnFile(kSmallImage, 0x100);
  std::vector<std::vector<std::uint8_t>> broken;
  broken.push_back(EncodeBareRawImage(std::vector<std::uint8_t>(64, 0x11)));
  broken.emplace_back(good.begin(), good.begin() + 40);
  std::vector<std::uint8_t> noTrailer = good;
  noTrailer.pop_back();
  noTrailer.push_back(0);
  broken.push_back(noTrailer);
  std::vector<std::uint8_t> hugeCount = good;
  hugeCount[16] = 0xFF;
  broken.push_back(hugeCount);
  std::vector<std::uint8_t> entryPastTheEnd = good;
  entryPastTheEnd[41] = 0xFF;
  broken.push_back(entryPastTheEnd);
  for (const auto& bytes : broken) EXPECT_FALSE(RawImageFromBrn(bytes).has_value());
}

}  // namespace
}  // namespace bb::sim
