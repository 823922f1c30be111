#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace bb {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 through the system's well-kept implementation (OpenSSL's libcrypto,
// or Windows' CNG), fed in pieces so that a file of any size hashes in
// constant memory.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(std::span<const std::uint8_t> data);
  // The digest of everything fed so far; the hash starts over afterwards.
  Sha256Digest Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// 64 lower-case hex digits.
std::string ToHex(const Sha256Digest& digest);
// Exactly 64 hex digits, in either case; nullopt for anything else.
std::optional<Sha256Digest> ParseSha256(std::string_view hex);

struct FileDigest {
  Sha256Digest digest;
  std::uint64_t size;
};

// Hashes a whole file; nullopt when it cannot be opened or read to its end.
std::optional<FileDigest> HashFile(const std::string& path);

}  // namespace bb
