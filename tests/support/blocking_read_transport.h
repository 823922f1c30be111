#pragma once

#include <condition_variable>
#include <mutex>
#include <set>

#include "platform/device_transport.h"

namespace bb::test {

// A driver whose bulk reads never complete on their own: a read blocks until
// another thread cancels it, and then fails, as a stalled camera's read ends
// when the system cancels it. It counts cancels that come for a handle that is
// already closed: the system may have handed that value out again.
class BlockingReadTransport final : public DeviceTransport {
 public:
  SetHandle OpenInterfaceSet(const Guid&) override { return kNoSet; }
  EnumResult EnumerateInterface(SetHandle, std::uint32_t) override { return EnumResult::kNoMoreItems; }
  bool ReadInterfacePath(SetHandle, std::uint32_t, std::string&) override { return false; }
  bool ReadInterfaceLocation(SetHandle, std::uint32_t, std::string&) override { return false; }
  bool ReadInterfaceSerial(SetHandle, std::uint32_t, std::string&) override { return false; }
  void CloseInterfaceSet(SetHandle) override {}
  Handle Open(const std::string&) override { return kInvalidHandle; }
  bool IoControl(Handle, std::uint32_t, std::span<std::uint8_t>) override { return false; }
  bool Write(Handle, std::span<const std::uint8_t>, std::uint32_t& done) override {
    done = 0;
    return false;
  }

  bool Read(Handle handle, std::span<std::uint8_t>, std::uint32_t& done) override {
    done = 0;
    std::unique_lock lock(mutex_);
    pending_ = handle;
    cancelled_.wait(lock, [&] { return pending_ != handle; });
    return false;
  }
  void CancelPending(Handle handle) override {
    {
      std::lock_guard lock(mutex_);
      if (closed_.contains(handle)) ++cancelsOfClosedHandles_;
      if (pending_ == handle) pending_ = kInvalidHandle;
    }
    cancelled_.notify_all();
  }
  void Close(Handle handle) override {
    std::lock_guard lock(mutex_);
    closed_.insert(handle);
  }

  int CancelsOfClosedHandles() const {
    std::lock_guard lock(mutex_);
    return cancelsOfClosedHandles_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cancelled_;
  Handle pending_ = kInvalidHandle;
  std::set<Handle> closed_;
  int cancelsOfClosedHandles_ = 0;
};

}  // namespace bb::test
