#include "readback/brn_file.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "readback/brn_samples.h"
#include "sim/sim_raw_image.h"
#include "support/temp_folder.h"
#include "util/byte_order.h"

namespace bb {
namespace {

class BrnOpenTest : public ::testing::Test {
 protected:
  std::optional<NativeFile> Open(const std::vector<std::uint8_t>& brn) {
    return OpenBrnFile(folder.Write("image.brn", brn), header);
  }

  test::TempFolder folder;
  BrnHeader header;
};

TEST_F(BrnOpenTest, OpensAConvertedFileAfterItsHeader) {
  const std::vector<std::uint8_t> brn = sim::EncodeBrnFile(test::SampleImage(), 0x100);
  std::optional<NativeFile> file = Open(brn);
  ASSERT_TRUE(file.has_value());
  EXPECT_TRUE(header.HasMagic());
  EXPECT_EQ(header.countA, 2u);
  EXPECT_EQ(header.countB, 3u);
  EXPECT_EQ(header.dataA, 10u);
  EXPECT_EQ(header.dataB, 7u);
  EXPECT_EQ(EntryCount(header), 6u);

  std::array<std::uint8_t, 10> firstEntry{};
  ASSERT_TRUE(file->ReadAt(32, firstEntry));
  EXPECT_TRUE(std::equal(firstEntry.begin(), firstEntry.end(), brn.begin() + 32));
}

TEST_F(BrnOpenTest, DemandsAFirmwarePartLongerThanEightBytes) {
  for (const std::size_t length : {0u, 1u, 8u, 9u, 100u}) {
    sim::ImageContent image = test::SampleImage();
    image.firmware = test::CountingBytes(length, 0);
    EXPECT_EQ(Open(sim::EncodeBrnFile(image, 0x100)).has_value(), length > 8)
        << length << " firmware bytes";
  }
}

TEST_F(BrnOpenTest, ComparesTheMagicAsATerminatedString) {
  const std::vector<std::uint8_t> good = sim::EncodeBrnFile(test::SampleImage(), 0x100);
  std::vector<std::uint8_t> unterminated = good;
  unterminated[12] = '!';
  EXPECT_FALSE(Open(unterminated).has_value());

  std::vector<std::uint8_t> otherChip = good;
  otherChip[11] = '1';
  EXPECT_FALSE(Open(otherChip).has_value());

  std::vector<std::uint8_t> lowerCase = good;
  lowerCase[0] = 'c';
  EXPECT_FALSE(Open(lowerCase).has_value());

  std::vector<std::uint8_t> paddingAfterTerminator = good;
  paddingAfterTerminator[13] = 0x55;
  paddingAfterTerminator[15] = 0x55;
  EXPECT_TRUE(Open(paddingAfterTerminator).has_value());
}

TEST_F(BrnOpenTest, RefusesASwappedOrMissingTrailer) {
  std::vector<std::uint8_t> brn = sim::EncodeBrnFile(test::SampleImage(), 0x100);
  std::swap(brn[brn.size() - 2], brn[brn.size() - 1]);
  EXPECT_FALSE(Open(brn).has_value());
  brn.resize(brn.size() - 2);
  EXPECT_FALSE(Open(brn).has_value());
}

TEST_F(BrnOpenTest, RefusesTruncatedFiles) {
  const std::vector<std::uint8_t> brn = sim::EncodeBrnFile(test::SampleImage(), 0x100);
  EXPECT_FALSE(Open({brn.begin(), brn.begin() + 31}).has_value());
  EXPECT_FALSE(Open({}).has_value());
  std::vector<std::uint8_t> headerAndTrailer(brn.begin(), brn.begin() + 32);
  headerAndTrailer.insert(headerAndTrailer.end(), {0x7F, 0x7E});
  EXPECT_FALSE(Open(headerAndTrailer).has_value());
}

TEST_F(BrnOpenTest, RefusesCountsAndSizesWhoseSumOnlyFitsAfterWrappingAround) {
  // In 32 bits each of these would shrink the size the file must exceed back
  // to a few bytes, and the small file would pass.
  struct Case {
    std::uint32_t countA;
    std::uint32_t dataA;
    std::uint32_t dataB;
  };
  const sim::ImageContent image{{}, {}, test::CountingBytes(20, 0)};
  for (const Case& fields : {Case{0xFFFFFFFF, 0, 0}, Case{0x1999999A, 0, 0},
                             Case{0, 0xFFFFFFFF, 0xFFFFFFF0}, Case{0x19999999, 0xFFFFFFFF, 0}}) {
    std::vector<std::uint8_t> brn = sim::EncodeBrnFile(image, 0x100);
    PutBe32(brn, 16, fields.countA);
    PutBe32(brn, 24, fields.dataA);
    PutBe32(brn, 28, fields.dataB);
    EXPECT_FALSE(Open(brn).has_value()) << "countA " << fields.countA << ", dataA "
                                        << fields.dataA << ", dataB " << fields.dataB;
  }
}

TEST_F(BrnOpenTest, RefusesMissingNamesAndFilesLeavingTheHeaderAlone) {
  header.countA = 77;
  EXPECT_FALSE(OpenBrnFile("", header).has_value());
  EXPECT_FALSE(OpenBrnFile(folder.File("absent.brn"), header).has_value());
  EXPECT_FALSE(OpenBrnFile(folder.Text(), header).has_value());
  std::vector<std::uint8_t> badMagic = sim::EncodeBrnFile(test::SampleImage(), 0x100);
  badMagic[0] = 'X';
  EXPECT_FALSE(Open(badMagic).has_value());
  EXPECT_EQ(header.countA, 77u);
}

}  // namespace
}  // namespace bb
