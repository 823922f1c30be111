#include "readback/stream_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "readback/brn_builder.h"
#include "readback/brn_samples.h"
#include "readback/raw_image.h"
#include "sim/sim_raw_image.h"

namespace bb {
namespace {

std::string AsText(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> Pattern(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
}

// A destination that takes `room` bytes and then refuses, like a full disk.
class FillingBuffer final : public std::streambuf {
 public:
  explicit FillingBuffer(std::size_t room) : room_(room) {}
  std::size_t taken = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize count) override {
    const auto accepted = std::min<std::size_t>(static_cast<std::size_t>(count), room_ - taken);
    taken += accepted;
    return static_cast<std::streamsize>(accepted);
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof()) || taken == room_) {
      return traits_type::eof();
    }
    ++taken;
    return c;
  }

 private:
  std::size_t room_;
};

TEST(BrnCopyTest, CopiesARangeAcrossSeveralBufferFills) {
  const std::vector<std::uint8_t> source = Pattern(2 * 0x10000 + 100);
  for (const std::uint64_t length : {0ull, 1ull, 0xFFFFull, 0x10000ull, 0x10001ull, 0x20050ull}) {
    std::istringstream in(AsText(source));
    std::ostringstream out;
    out << "head";
    ASSERT_TRUE(CopyFileRange(in, out, 13, length)) << length;
    EXPECT_EQ(out.str(), "head" + AsText(source).substr(13, length)) << length;
  }
}

TEST(BrnCopyTest, FailsWhenTheSourceEndsEarly) {
  const std::vector<std::uint8_t> source = Pattern(0x10000 + 10);
  for (const std::uint64_t offset : {1ull, 11ull, 0x20000ull}) {
    std::istringstream in(AsText(source));
    std::ostringstream out;
    EXPECT_FALSE(CopyFileRange(in, out, offset, source.size())) << "offset " << offset;
  }
  std::istringstream in(AsText(source));
  std::ostringstream out;
  EXPECT_FALSE(CopyFileRange(in, out, 0, 0xFFFFFFFFFFFFull)) << "a huge length";
}

TEST(BrnCopyTest, FailsWhenTheDestinationFills) {
  const std::vector<std::uint8_t> source = Pattern(0x30000);
  for (const std::size_t room : {std::size_t{0}, std::size_t{5}, std::size_t{0x10000},
                                 std::size_t{0x2FFFF}}) {
    std::istringstream in(AsText(source));
    FillingBuffer full(room);
    std::ostream out(&full);
    EXPECT_FALSE(CopyFileRange(in, out, 0, source.size())) << "room " << room;
  }
}

class BrnWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::istringstream in(raw);
    const auto parsed = ParseRawImage(in, raw.size());
    ASSERT_TRUE(parsed.has_value());
    layout = *parsed;
    head.resize(BrnHeadSize(layout));
    ASSERT_TRUE(BuildBrnHead(in, layout, 0x100, head));
  }

  const sim::ImageContent image = test::SampleImage();
  const std::string raw = AsText(sim::EncodeRawImage(image));
  const std::string expected = AsText(sim::EncodeBrnFile(image, 0x100));
  RawImageLayout layout;
  std::vector<std::uint8_t> head;
};

TEST_F(BrnWriteTest, WritesTheWholeFileIntoAStream) {
  std::istringstream in(raw);
  std::ostringstream out;
  ASSERT_TRUE(WriteGroupedBrn(in, layout, head, out));
  EXPECT_EQ(out.str(), expected);
}

TEST_F(BrnWriteTest, NoticesAWriteFailureAtAnyPoint) {
  // Every room short of the whole file stops some part: head, group data,
  // firmware or trailer.
  for (std::size_t room = 0; room < expected.size(); ++room) {
    std::istringstream in(raw);
    FillingBuffer full(room);
    std::ostream out(&full);
    EXPECT_FALSE(WriteGroupedBrn(in, layout, head, out)) << "room " << room;
  }
}

TEST_F(BrnWriteTest, NoticesARawImageThatShrankAfterParsing) {
  // Group B's last two bytes are skipped, so a cut must reach its data to matter.
  for (std::size_t cut = 3; cut < raw.size(); cut += 5) {
    std::istringstream in(raw.substr(0, raw.size() - cut));
    std::ostringstream out;
    EXPECT_FALSE(WriteGroupedBrn(in, layout, head, out)) << "cut " << cut;
  }
}

}  // namespace
}  // namespace bb
