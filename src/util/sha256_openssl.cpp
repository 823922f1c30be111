#include <openssl/evp.h>

#include <cstdlib>

#include "util/sha256.h"

namespace bb {

struct Sha256::State {
  EVP_MD_CTX* context = nullptr;
};

namespace {

// A context that cannot be had or started means libcrypto itself is broken;
// going on would hand out digests of nothing.
void Start(EVP_MD_CTX* context) {
  if (context == nullptr || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) std::abort();
}

}  // namespace

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->context = EVP_MD_CTX_new();
  Start(state_->context);
}

Sha256::~Sha256() { EVP_MD_CTX_free(state_->context); }

void Sha256::Update(std::span<const std::uint8_t> data) {
  if (!data.empty() && EVP_DigestUpdate(state_->context, data.data(), data.size()) != 1) {
    std::abort();
  }
}

Sha256Digest Sha256::Finish() {
  Sha256Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state_->context, digest.data(), &length) != 1 || length != digest.size()) {
    std::abort();
  }
  Start(state_->context);
  return digest;
}

}  // namespace bb
