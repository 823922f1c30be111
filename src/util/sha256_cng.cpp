#include <windows.h>
#include <bcrypt.h>

#include <cstdlib>

#include "util/sha256.h"

namespace bb {

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// A provider that cannot be had means the system itself is broken; going on
// would hand out digests of nothing.
void Start(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE& hash) {
  if (!Succeeded(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) std::abort();
}

}  // namespace

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (!Succeeded(BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    std::abort();
  }
  Start(state_->algorithm, state_->hash);
}

Sha256::~Sha256() {
  BCryptDestroyHash(state_->hash);
  BCryptCloseAlgorithmProvider(state_->algorithm, 0);
}

void Sha256::Update(std::span<const std::uint8_t> data) {
  // One call takes at most 4 GiB.
  constexpr std::size_t kPiece = ULONG{0x40000000};
  while (!data.empty()) {
    const std::size_t piece = data.size() < kPiece ? data.size() : kPiece;
    if (!Succeeded(BCryptHashData(state_->hash, const_cast<PUCHAR>(data.data()),
                                  static_cast<ULONG>(piece), 0))) {
      std::abort();
    }
    data = data.subspan(piece);
  }
}

Sha256Digest Sha256::Finish() {
  Sha256Digest digest{};
  if (!Succeeded(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
    std::abort();
  }
  BCryptDestroyHash(state_->hash);
  Start(state_->algorithm, state_->hash);
  return digest;
}

}  // namespace bb
