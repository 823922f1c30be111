#include "app/progress_transport.h"

#include <algorithm>

#include "util/byte_order.h"

namespace bb {

namespace {

// The request fields as the block carries them; the data stage is read through
// the block's data address, as the driver reads it.
struct Peek {
  std::uint8_t bRequest;
  std::uint16_t wValue;
  const std::uint8_t* data;
};

Peek PeekAt(std::span<const std::uint8_t> block) {
  std::uintptr_t address = 0;
  for (std::size_t i = 0; i < sizeof(void*); ++i) {
    address |= static_cast<std::uintptr_t>(block[8 + i]) << (8 * i);
  }
  return Peek{block[0], GetLe16(block, 4), reinterpret_cast<const std::uint8_t*>(address)};
}

}  // namespace

void ProgressTransport::Tell(const char* what) {
  constexpr auto kInterval = std::chrono::milliseconds(100);
  const Steady::time_point now = now_();
  if (told_ && moved_ < expected_ && now - *told_ < kInterval) return;
  told_ = now;
  progress_.Moved(what, moved_, expected_);
}

bool ProgressTransport::IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) {
  const Peek peek = PeekAt(block);
  if (peek.bRequest == 0xFD && peek.data != nullptr) {
    Finish();
    const std::span<const std::uint8_t> data(peek.data, peek.wValue == 0x04F1 ? 16 : 8);
    moved_ = 0;
    told_.reset();
    if (peek.wValue == 0x04F3 || peek.wValue == 0x04F2) expected_ = GetLe32(data, 4);
    if (peek.wValue == 0x04F1) expected_ = std::uint64_t{GetLe32(data, 12)} * blockUnit_;
  }
  if (peek.bRequest == 0x11) {
    storageWriting_ = true;
    polls_ = 0;
  }
  const bool ok = inner_.IoControl(handle, code, block);
  if (storageWriting_ && peek.bRequest == 0x21 && peek.wValue == 4) progress_.StoragePolled(++polls_);
  if (peek.bRequest == 0x20 || peek.bRequest == 0x70) {
    storageWriting_ = false;
    Finish();
  }
  return ok;
}

bool ProgressTransport::Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) {
  const bool ok = inner_.Read(handle, buffer, done);
  // Only what fits the buffer has moved, whatever count comes back.
  moved_ += std::min<std::uint64_t>(done, buffer.size());
  Tell("bytes read");
  if (moved_ >= expected_) Finish();
  return ok;
}

bool ProgressTransport::Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) {
  const bool ok = inner_.Write(handle, data, done);
  moved_ += std::min<std::uint64_t>(done, data.size());
  Tell("bytes written");
  if (moved_ >= expected_) Finish();
  return ok;
}

}  // namespace bb
