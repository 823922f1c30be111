#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/native_file.h"
#include "readback/brn_builder.h"
#include "readback/brn_samples.h"
#include "readback/raw_image.h"
#include "sim/sim_raw_image.h"
#include "support/temp_folder.h"

#if !defined(_WIN32)
#include "support/disk_room.h"
#endif

namespace bb {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                std::size_t length) {
  return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
}


class NativeCopyTest : public ::testing::Test {
 protected:
  // Copies `length` bytes from `offset` of `from` behind "head" in `target`.
  bool CopyBehindHead(const std::string& from, const std::string& target, std::uint64_t offset,
                      std::uint64_t length) {
    std::optional<NativeFile> in = NativeFile::OpenForReading(from);
    std::optional<NativeFile> out = NativeFile::Create(target);
    if (!in || !out) return false;
    const std::vector<std::uint8_t> head{'h', 'e', 'a', 'd'};
    const bool copied = out->Write(head) && out->CopyFrom(*in, offset, length);
    return out->Close() && copied;
  }

  test::TempFolder folder;
  // Beyond the 1 MiB copy buffer and the 2 MiB mapped window, so each is refilled.
  const std::vector<std::uint8_t> source = Pattern((std::size_t{2} << 20) + 100);
};

TEST_F(NativeCopyTest, CopiesRangesWithinAndAcrossFileSystems) {
  const std::string in = folder.Write("source", source);
  std::vector<std::string> targets{folder.File("target")};
  // Another file system, where the kernel may refuse to copy by itself.
  if (std::filesystem::is_directory("/dev/shm")) targets.push_back("/dev/shm/burnbench-copy-test");
  // Behind the 4-byte head, offset 4 keeps source and target pages in line
  // (the kernel's copy) and offset 13 does not (the mapped copy).
  for (const std::string& target : targets) {
    for (const std::size_t offset : {std::size_t{4}, std::size_t{13}}) {
      for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{0xFFFFF},
                                       std::size_t{0x200001}, source.size() - offset}) {
        ASSERT_TRUE(CopyBehindHead(in, target, offset, length)) << target << " " << length;
        std::vector<std::uint8_t> expected{'h', 'e', 'a', 'd'};
        const std::vector<std::uint8_t> range = Slice(source, offset, length);
        expected.insert(expected.end(), range.begin(), range.end());
        EXPECT_EQ(test::TempFolder::ReadPath(target), expected)
            << target << " " << offset << " " << length;
      }
    }
  }
  std::error_code ignored;
  std::filesystem::remove("/dev/shm/burnbench-copy-test", ignored);
}

TEST_F(NativeCopyTest, FailsWhenTheSourceEndsEarly) {
  const std::string in = folder.Write("source", source);
  for (const std::uint64_t offset : {1ull, 4ull, 11ull, 0x300000ull}) {
    EXPECT_FALSE(CopyBehindHead(in, folder.File("target"), offset, source.size())) << offset;
  }
  EXPECT_FALSE(CopyBehindHead(in, folder.File("target"), 0, 0xFFFFFFFFFFFFull)) << "a huge length";
}

TEST_F(NativeCopyTest, ReadsOnlyRegularFiles) {
  EXPECT_FALSE(NativeFile::OpenForReading(folder.Text()).has_value());
  EXPECT_FALSE(NativeFile::OpenForReading(folder.File("absent")).has_value());
#if !defined(_WIN32)
  EXPECT_FALSE(NativeFile::OpenForReading("/dev/null").has_value());
#endif
}

#if !defined(_WIN32)
TEST_F(NativeCopyTest, FailsWhenTheDiskFills) {
  const std::string in = folder.Write("source", source);
  for (const rlim_t room : {rlim_t{0}, rlim_t{5}, rlim_t{0x100000}, rlim_t{source.size()}}) {
    test::DiskRoom full(room);
    EXPECT_FALSE(CopyBehindHead(in, folder.File("target"), 0, source.size())) << "room " << room;
  }
}
#endif

class BrnWriteTest : public ::testing::Test {
 protected:
  // Parses `raw` as a file and writes its BRN file; the written bytes, or
  // nullopt when the parse or the write failed.
  std::optional<std::vector<std::uint8_t>> Convert(const std::vector<std::uint8_t>& rawBytes,
                                                   std::size_t shrinkAfterParse = 0) {
    const std::string rawName = folder.Write("image.raw", rawBytes);
    std::optional<NativeFile> raw = NativeFile::OpenForReading(rawName);
    const std::optional<RawImageLayout> layout = ParseRawImage(*raw, rawBytes.size());
    if (!layout || !BrnOffsetsFit(*raw, *layout)) return std::nullopt;
    if (shrinkAfterParse > 0) {
      std::filesystem::resize_file(folder.Path() / "image.raw", rawBytes.size() - shrinkAfterParse);
    }
    std::optional<NativeFile> brn = NativeFile::Create(folder.File("image.brn"));
    const bool written = WriteGroupedBrn(*raw, *layout, 0x100, *brn);
    if (!brn->Close() || !written) return std::nullopt;
    return folder.Read("image.brn");
  }

  test::TempFolder folder;
  const sim::ImageContent image = test::SampleImage();
};

TEST_F(BrnWriteTest, WritesTheWholeFile) {
  EXPECT_EQ(Convert(sim::EncodeRawImage(image)), sim::EncodeBrnFile(image, 0x100));
}

TEST_F(BrnWriteTest, WritesADirectoryLargerThanOnePieceOfEntries) {
  sim::ImageContent many;
  for (std::uint32_t i = 0; i < 7000; ++i) {
    many.groupA.push_back({static_cast<std::uint16_t>(i % 0x80), {static_cast<std::uint8_t>(i)}});
  }
  many.groupB = {{0x80, test::CountingBytes(9, 1)}};
  many.firmware = test::CountingBytes(100, 3);
  EXPECT_EQ(Convert(sim::EncodeRawImage(many)), sim::EncodeBrnFile(many, 0x100));
}

TEST_F(BrnWriteTest, NoticesARawImageThatShrankAfterParsing) {
  // Group B's last two bytes are skipped, so a cut must reach its data to matter.
  const std::vector<std::uint8_t> raw = sim::EncodeRawImage(image);
  for (std::size_t cut = 3; cut < raw.size(); cut += 5) {
    EXPECT_FALSE(Convert(raw, cut).has_value()) << "cut " << cut;
  }
}

#if !defined(_WIN32)
TEST_F(BrnWriteTest, NoticesAWriteFailureAtAnyPoint) {
  // Every room short of the whole file stops some part: header, directory,
  // group data, firmware or trailer.
  const std::vector<std::uint8_t> raw = sim::EncodeRawImage(image);
  const std::size_t whole = sim::EncodeBrnFile(image, 0x100).size();
  for (std::size_t room = 0; room < whole; ++room) {
    const std::string rawName = folder.Write("image.raw", raw);
    std::optional<NativeFile> in = NativeFile::OpenForReading(rawName);
    const std::optional<RawImageLayout> layout = ParseRawImage(*in, raw.size());
    ASSERT_TRUE(layout.has_value());
    test::DiskRoom full(room);
    std::optional<NativeFile> brn = NativeFile::Create(folder.File("image.brn"));
    ASSERT_TRUE(brn.has_value());
    EXPECT_FALSE(WriteGroupedBrn(*in, *layout, 0x100, *brn)) << "room " << room;
  }
}
#endif

}  // namespace
}  // namespace bb
