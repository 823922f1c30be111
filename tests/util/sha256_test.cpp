#include "util/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace bb {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Sha256Test, KnownDigestsInPiecesAndWhole) {
  Sha256 hash;
  EXPECT_EQ(ToHex(hash.Finish()), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  hash.Update(Bytes("a"));
  hash.Update(Bytes("bc"));
  EXPECT_EQ(ToHex(hash.Finish()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // The hash starts over after a digest.
  hash.Update(Bytes("abc"));
  EXPECT_EQ(ToHex(hash.Finish()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256Test, ParsesExactlySixtyFourHexDigitsOfEitherCase) {
  const std::string lower = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  std::string upper = lower;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_TRUE(ParseSha256(upper));
  EXPECT_EQ(ToHex(*ParseSha256(upper)), lower);
  EXPECT_FALSE(ParseSha256(std::string_view(lower).substr(1)));
  EXPECT_FALSE(ParseSha256(lower + "0"));
  for (const char wrong : {'g', ' ', 'x'}) {
    std::string changed = lower;
    changed[0] = wrong;
    EXPECT_FALSE(ParseSha256(changed)) << wrong;
  }
}

TEST(Sha256Test, AFileHashesAsItsBytesAcrossReadPieces) {
  test::TempFolder folder;
  const std::string million(1000000, 'a');
  const std::optional<FileDigest> known = HashFile(folder.Write("million", million));
  ASSERT_TRUE(known);
  EXPECT_EQ(known->size, 1000000u);
  EXPECT_EQ(ToHex(known->digest), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

  std::vector<std::uint8_t> large((3u << 20) + 7);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 31 + (i >> 16));
  Sha256 whole;
  whole.Update(large);
  const std::optional<FileDigest> file = HashFile(folder.Write("large", large));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->digest, whole.Finish());
  EXPECT_EQ(file->size, large.size());

  EXPECT_FALSE(HashFile(folder.File("missing")));
  EXPECT_FALSE(HashFile(folder.Text()));
}

}  // namespace
}  // namespace bb
