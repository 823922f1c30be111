#include <fstream>
#include <vector>

#include "util/binary_file.h"
#include "util/sha256.h"

namespace bb {

std::string ToHex(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(digest.size() * 2);
  for (const std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<Sha256Digest> ParseSha256(std::string_view hex) {
  Sha256Digest digest{};
  if (hex.size() != digest.size() * 2) return std::nullopt;
  for (std::size_t i = 0; i < digest.size(); ++i) {
    const int high = HexValue(hex[2 * i]);
    const int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    digest[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return digest;
}

std::optional<FileDigest> HashFile(const std::string& path) {
  std::ifstream file;
  const std::optional<std::uint64_t> size = OpenForReading(path, file);
  if (!size) return std::nullopt;
  // Large pieces keep the hash, not the reads, the limit.
  std::vector<std::uint8_t> piece(std::size_t{1} << 20);
  Sha256 hash;
  std::uint64_t left = *size;
  while (left > 0) {
    const std::uint64_t count = left < piece.size() ? left : piece.size();
    if (!ReadExactly(file, piece.data(), count)) return std::nullopt;
    hash.Update(std::span(piece).first(static_cast<std::size_t>(count)));
    left -= count;
  }
  // A file that grew while it was read is not the file that was measured.
  if (file.peek() != std::ifstream::traits_type::eof()) return std::nullopt;
  return FileDigest{hash.Finish(), *size};
}

}  // namespace bb
