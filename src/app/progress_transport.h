#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "platform/forwarding_transport.h"

namespace bb {

// Told how the transfers of a run go, on the run's thread.
class TransferProgress {
 public:
  virtual ~TransferProgress() = default;
  // `done` of the `total` bytes its header announced have moved;
  // `what` is "bytes read" or "bytes written".
  virtual void Moved(const char* what, std::uint64_t done, std::uint64_t total) = 0;
  // The storage write was polled for the `polls`th time.
  virtual void StoragePolled(std::uint32_t polls) = 0;
  // The transfer or storage write under way is over.
  virtual void Finished() = 0;
};

// Passes every call to the real transport and tells `progress` how each
// transfer goes: the bytes of each bulk transfer against the length its
// header announced, and the polls of a storage write. One per session.
//
// A transfer is told when it starts, when it is done, and between at most
// every 100 ms: told at every piece, every camera's transfer would queue up
// for the terminal (or the station) behind the others'.
class ProgressTransport final : public ForwardingTransport {
 public:
  using Steady = std::chrono::steady_clock;
  using Now = std::function<Steady::time_point()>;
  ProgressTransport(DeviceTransport& inner, TransferProgress& progress, std::uint16_t blockUnit,
                    Now now = Steady::now)
      : ForwardingTransport(inner), progress_(progress), blockUnit_(blockUnit), now_(std::move(now)) {}

  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override;
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override;
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override;

  // Ends what is in progress: the run is over.
  void Finish() { progress_.Finished(); }

 private:
  TransferProgress& progress_;
  std::uint16_t blockUnit_;
  std::uint64_t expected_ = 0;
  std::uint64_t moved_ = 0;
  std::uint32_t polls_ = 0;
  bool storageWriting_ = false;
  Now now_;
  // When the transfer under way was last told; none before its first piece.
  std::optional<Steady::time_point> told_;

  void Tell(const char* what);
};

}  // namespace bb
