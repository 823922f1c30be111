#include "readback/brn_convert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device/status_codes.h"
#include "readback/brn_samples.h"
#include "sim/sim_raw_image.h"
#include "support/recording_console.h"
#include "support/temp_folder.h"
#include "util/byte_order.h"
#include "util/paths.h"

#if !defined(_WIN32)
#include "support/disk_room.h"
#endif

namespace bb {
namespace {

constexpr std::uint16_t kDefaultFwFileId = 0x100;
// Group A's header follows the length prefix and the firmware part.
constexpr std::size_t kLengthPrefixSize = 4;

struct DirectorySlot {
  std::uint16_t id;
  std::uint32_t offset;
  std::uint32_t size;
  bool operator==(const DirectorySlot&) const = default;
};

DirectorySlot SlotAt(const std::vector<std::uint8_t>& brn, std::size_t index) {
  const std::size_t at = 32 + 10 * index;
  return DirectorySlot{GetBe16(brn, at), GetBe32(brn, at + 2), GetBe32(brn, at + 6)};
}

class BrnConvertTest : public ::testing::Test {
 protected:
  int Convert(const std::vector<std::uint8_t>& raw, std::uint16_t fwFileId = kDefaultFwFileId) {
    return ConvertToBrn(folder.Write("image.raw", raw), brnName, fwFileId, console);
  }
  bool BrnExists() const { return std::filesystem::exists(folder.Path() / "image.brn"); }
  std::vector<std::uint8_t> Brn() const { return folder.Read("image.brn"); }

  test::TempFolder folder;
  test::RecordingConsole console;
  const std::string brnName = folder.File("image.brn");
};

TEST_F(BrnConvertTest, ImageWithGroupsBecomesTheBrnFileOfItsContent) {
  const sim::ImageContent image = test::SampleImage();
  ASSERT_EQ(Convert(sim::EncodeRawImage(image)), kOk);
  EXPECT_EQ(Brn(), sim::EncodeBrnFile(image, kDefaultFwFileId));
  EXPECT_EQ(console.log, (std::vector<std::string>{"  CORVANE 2860 BRN Header ..."}));
}

TEST_F(BrnConvertTest, ReadingBackABurnedBrnFileReproducesItByteForByte) {
  for (const std::uint16_t fwFileId : {kDefaultFwFileId, std::uint16_t{3}}) {
    const std::vector<std::uint8_t> burned = sim::EncodeBrnFile(test::SampleImage(), fwFileId);
    const auto raw = sim::RawImageFromBrn(burned);
    ASSERT_TRUE(raw.has_value());
    ASSERT_EQ(Convert(*raw, fwFileId), kOk);
    EXPECT_EQ(Brn(), burned) << "firmware id " << fwFileId;
  }
}

TEST_F(BrnConvertTest, EntriesFollowTheDirectoryBackToBackWithTheFirmwareLast) {
  const sim::ImageContent image{{{0x05, test::CountingBytes(3, 0x50)},
                                 {0x06, test::CountingBytes(7, 0x60)}},
                                {{0x80, test::CountingBytes(4, 0x80)}},
                                test::CountingBytes(11, 0x01)};
  ASSERT_EQ(Convert(sim::EncodeRawImage(image)), kOk);
  const std::vector<std::uint8_t> brn = Brn();

  constexpr std::uint32_t kEntries = 4;
  constexpr std::uint32_t kFirst = 34 + 10 * kEntries;
  ASSERT_EQ(brn.size(), 36 + 10 * kEntries + 10 + 4 + 11);
  EXPECT_EQ(std::string(brn.begin(), brn.begin() + 12), "CORVANE 2860");
  EXPECT_EQ(GetBe32(brn, 12), 0u);
  EXPECT_EQ(GetBe32(brn, 16), 2u);
  EXPECT_EQ(GetBe32(brn, 20), 1u);
  EXPECT_EQ(GetBe32(brn, 24), 10u);
  EXPECT_EQ(GetBe32(brn, 28), 4u);
  EXPECT_EQ(SlotAt(brn, 0), (DirectorySlot{0x05, kFirst, 3}));
  EXPECT_EQ(SlotAt(brn, 1), (DirectorySlot{0x06, kFirst + 3, 7}));
  EXPECT_EQ(SlotAt(brn, 2), (DirectorySlot{0x80, kFirst + 10, 4}));
  EXPECT_EQ(SlotAt(brn, 3), (DirectorySlot{kDefaultFwFileId, kFirst + 14, 11}));
  EXPECT_EQ(brn[kFirst - 2], 0x24);
  EXPECT_EQ(brn[kFirst - 1], 0x6D);
  EXPECT_EQ(brn[kFirst], 0x50);
  EXPECT_EQ(brn[kFirst + 3], 0x60);
  EXPECT_EQ(brn[kFirst + 10], 0x80);
  EXPECT_EQ(brn[kFirst + 14], 0x01);
  EXPECT_EQ(brn[brn.size() - 2], 0x7F);
  EXPECT_EQ(brn[brn.size() - 1], 0x7E);
}

TEST_F(BrnConvertTest, EmptyGroupsLeaveOnlyTheFirmwareEntry) {
  const sim::ImageContent image{{}, {}, test::CountingBytes(9, 0x40)};
  ASSERT_EQ(Convert(sim::EncodeRawImage(image)), kOk);
  const std::vector<std::uint8_t> brn = Brn();
  ASSERT_EQ(brn.size(), 36u + 10 + 9);
  EXPECT_EQ(brn[32], 0x01) << "the default firmware id is 0x100, high byte first";
  EXPECT_EQ(brn[33], 0x00);
  EXPECT_EQ(SlotAt(brn, 0), (DirectorySlot{kDefaultFwFileId, 44, 9}));
  EXPECT_EQ(brn[42], 0x24);
  EXPECT_EQ(brn[43], 0x6D);
  EXPECT_EQ(std::vector<std::uint8_t>(brn.begin() + 44, brn.end() - 2), image.firmware);
}

TEST_F(BrnConvertTest, FirmwareEntryCarriesTheJobsId) {
  ASSERT_EQ(Convert(sim::EncodeRawImage(test::SampleImage()), 0x0003), kOk);
  const std::vector<std::uint8_t> brn = Brn();
  EXPECT_EQ(SlotAt(brn, 5).id, 0x0003);
}

TEST_F(BrnConvertTest, OffsetsFollowTheEntrySizesEvenWhereTheyDisagreeWithTheGroup) {
  sim::ImageContent image = test::SampleImage();
  std::vector<std::uint8_t> raw = sim::EncodeRawImage(image);
  // The first group A entry claims 5 bytes where its group holds 3 for it.
  PutBe32(raw, kLengthPrefixSize + image.firmware.size() + 8 + 6, 5);
  ASSERT_EQ(Convert(raw), kOk);
  const std::vector<std::uint8_t> brn = Brn();
  EXPECT_EQ(SlotAt(brn, 0).size, 5u);
  EXPECT_EQ(SlotAt(brn, 1).offset, SlotAt(brn, 0).offset + 5);
  EXPECT_EQ(GetBe32(brn, 24), 10u) << "the group's data size still comes from its length";
}

TEST_F(BrnConvertTest, ImageWithoutGroupsBecomesTheBareFirmware) {
  const std::vector<std::uint8_t> firmware = test::CountingBytes(300, 0x20);
  ASSERT_EQ(Convert(sim::EncodeBareRawImage(firmware)), kOk);
  EXPECT_EQ(Brn(), firmware);
  EXPECT_EQ(console.log, (std::vector<std::string>{"  No Header ..."}));
}

TEST_F(BrnConvertTest, ImageOfALengthPrefixAloneBecomesAnEmptyFile) {
  ASSERT_EQ(Convert({0, 0, 0, 0}), kOk);
  EXPECT_TRUE(BrnExists());
  EXPECT_TRUE(Brn().empty());
}

TEST_F(BrnConvertTest, ReplacesALongerExistingBrnFile) {
  folder.Write("image.brn", std::vector<std::uint8_t>(5000, 0xEE));
  const std::vector<std::uint8_t> firmware = test::CountingBytes(10, 0);
  ASSERT_EQ(Convert(sim::EncodeBareRawImage(firmware)), kOk);
  EXPECT_EQ(Brn(), firmware);
}

TEST_F(BrnConvertTest, RefusesImagesWhoseSizeDoesNotAddUp) {
  const std::vector<std::uint8_t> grouped = sim::EncodeRawImage(test::SampleImage());
  const std::vector<std::uint8_t> bare = sim::EncodeBareRawImage(test::CountingBytes(12, 0));
  std::vector<std::vector<std::uint8_t>> refused;
  for (const auto& image : {grouped, bare}) {
    std::vector<std::uint8_t> longer = image;
    longer.push_back(0);
    refused.push_back(longer);
    refused.emplace_back(image.begin(), image.end() - 1);
  }
  refused.push_back({0, 0, 1});                     // not even a length prefix
  refused.push_back({0xFF, 0xFF, 0xFF, 0xFF, 1, 2});  // a firmware part beyond the file
  refused.push_back({});
  for (const auto& raw : refused) {
    EXPECT_EQ(Convert(raw), kFileError) << raw.size() << " bytes";
    EXPECT_FALSE(BrnExists()) << raw.size() << " bytes";
  }
  EXPECT_TRUE(console.log.empty());
}

TEST_F(BrnConvertTest, RefusesGroupsTooShortForTheirEntries) {
  const sim::ImageContent image{{}, {}, test::CountingBytes(6, 0)};
  const std::size_t groupA = kLengthPrefixSize + image.firmware.size();
  // Each image adds up to its file size, so only the count-to-length test can refuse it.
  struct Case {
    std::uint32_t count;
    std::uint32_t length;
  };
  for (const Case& group : {Case{1, 0}, Case{1, 9}, Case{0x1999999A, 4}, Case{0xFFFFFFFF, 6}}) {
    std::vector<std::uint8_t> raw = sim::EncodeRawImage(image);
    PutBe32(raw, groupA, group.count);
    PutBe32(raw, groupA + 4, group.length);
    raw.insert(raw.begin() + static_cast<std::ptrdiff_t>(groupA + 8), group.length, 0xAA);
    EXPECT_EQ(Convert(raw), kFileError) << "count " << group.count << ", length " << group.length;
    EXPECT_FALSE(BrnExists());
  }
  EXPECT_TRUE(console.log.empty()) << "refused before the BRN file was created";
}

TEST_F(BrnConvertTest, RefusesGroupsThatReachPastTheFile) {
  const sim::ImageContent image = test::SampleImage();
  const std::size_t groupA = kLengthPrefixSize + image.firmware.size();
  for (const std::uint32_t length : {0xFFFFFFFFu, 0xFFFFFFF6u, 1000u}) {
    std::vector<std::uint8_t> raw = sim::EncodeRawImage(image);
    PutBe32(raw, groupA + 4, length);
    EXPECT_EQ(Convert(raw), kFileError) << "length " << length;
    EXPECT_FALSE(BrnExists());
  }
  EXPECT_TRUE(console.log.empty());
}

TEST_F(BrnConvertTest, RefusesEntrySizesThatPushAnOffsetPast32Bits) {
  const sim::ImageContent image = test::SampleImage();
  std::vector<std::uint8_t> raw = sim::EncodeRawImage(image);
  PutBe32(raw, kLengthPrefixSize + image.firmware.size() + 8 + 6, 0xFFFFFFFF);
  EXPECT_EQ(Convert(raw), kFileError);
  EXPECT_FALSE(BrnExists());
  EXPECT_TRUE(console.log.empty());
}

#if !defined(_WIN32)
TEST_F(BrnConvertTest, RemovesABrnFileThatCouldNotBeWrittenInFull) {
  sim::ImageContent image = test::SampleImage();
  image.firmware = test::CountingBytes(0x30000, 0);
  const std::string raw = folder.Write("image.raw", sim::EncodeRawImage(image));
  // The last limit fails only the trailer, which reaches the disk when the file is closed.
  const rlim_t brnSize = sim::EncodeBrnFile(image, kDefaultFwFileId).size();
  for (const rlim_t limit : {rlim_t{100}, rlim_t{0x10000}, brnSize - 1}) {
    int status = kOk;
    {
      const test::DiskRoom full(limit);
      status = ConvertToBrn(raw, brnName, kDefaultFwFileId, console);
    }
    EXPECT_EQ(status, kFileError) << "limit " << limit;
    EXPECT_FALSE(BrnExists()) << "limit " << limit;
  }
}
#endif

TEST_F(BrnConvertTest, RefusesMissingNamesAndFiles) {
  const std::string raw = folder.Write("image.raw", sim::EncodeRawImage(test::SampleImage()));
  EXPECT_EQ(ConvertToBrn("", brnName, kDefaultFwFileId, console), kFileError);
  EXPECT_EQ(ConvertToBrn(raw, "", kDefaultFwFileId, console), kFileError);
  EXPECT_EQ(ConvertToBrn(folder.File("absent.raw"), brnName, kDefaultFwFileId, console),
            kFileError);
  EXPECT_EQ(ConvertToBrn(folder.Text(), brnName, kDefaultFwFileId, console), kFileError)
      << "a folder is no raw image";
  EXPECT_FALSE(BrnExists());
  EXPECT_TRUE(console.log.empty());
}

TEST_F(BrnConvertTest, LeavesTheRawImageAloneWhenAskedToConvertItIntoItself) {
  const std::vector<std::uint8_t> image = sim::EncodeRawImage(test::SampleImage());
  const std::string raw = folder.Write("image.raw", image);
  EXPECT_EQ(ConvertToBrn(raw, raw, kDefaultFwFileId, console), kFileError);
  EXPECT_EQ(folder.Read("image.raw"), image);
}

TEST_F(BrnConvertTest, FailsWithoutALogLineWhenTheBrnFileCannotBeCreated) {
  const std::string raw = folder.Write("image.raw", sim::EncodeRawImage(test::SampleImage()));
  const std::string inMissingFolder = folder.File("missing") + kPathSeparator + "image.brn";
  EXPECT_EQ(ConvertToBrn(raw, inMissingFolder, kDefaultFwFileId, console), kFileError);
  EXPECT_TRUE(console.log.empty());
}

TEST_F(BrnConvertTest, NamesAreUtf8WhateverTheSystemCodePage) {
  const std::string stem = folder.Text() + kPathSeparator + "\xE5\x9B\xBA\xE4\xBB\xB6";  // 固件
  const std::vector<std::uint8_t> firmware = test::CountingBytes(16, 0);
  {
    std::ofstream raw(FsPath(stem + ".raw"), std::ios::binary);
    const std::vector<std::uint8_t> bytes = sim::EncodeBareRawImage(firmware);
    raw.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  ASSERT_EQ(ConvertToBrn(stem + ".raw", stem + ".brn", kDefaultFwFileId, console), kOk);
  std::ifstream brn(FsPath(stem + ".brn"), std::ios::binary);
  EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(brn), {}), firmware);
}

}  // namespace
}  // namespace bb
