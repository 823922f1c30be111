#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/arrival_watch.h"
#include "platform/device_transport.h"
#include "platform/record/recording.h"
#include "platform/virtual/virtual_clock.h"

namespace bb::record {

// A camera that answers from a recording. Each call the tool makes must be the
// one recorded next; its recorded outcome comes back, and the virtual clock
// moves to where the recording says the call began and ended, so timers that
// expired during a recorded transfer expire during its replay too.
//
// The first call that differs (another kind, another request, other bytes,
// another length) is a divergence: it is reported once, and from then on
// every call fails. Cancels of pending transfers come from the watchdog's
// timer, whose timing against the main thread is free, so they are matched in
// their own order only. Device changes come back at the point of the
// recording where they happened: when the host goes idle, or before the call
// recorded after them; one at a time, never from inside another's handler.
class Replay final : public DeviceTransport, public ArrivalWatch {
 public:
  using DeviceChangeHandler = std::function<void(std::uint32_t event, const DeviceArrival& arrival)>;
  using DivergenceHandler = std::function<void(const std::string& message)>;

  Replay(const Recording& recording, VirtualClock& clock) : recording_(recording), clock_(clock) {}

  void OnDeviceChange(DeviceChangeHandler handler) { deviceChange_ = std::move(handler); }
  void OnDivergence(DivergenceHandler handler) { divergence_ = std::move(handler); }

  // The host has nothing to do. Delivers the device change recorded next, if
  // one is and none is being delivered; true when it did.
  bool DeliverDeviceChange();
  // The tool has finished: a call still left in the recording was not asked
  // for, which is a divergence too. Device changes after the last call need
  // nobody to take them.
  void Finish();
  bool Diverged() const { return !message_.empty(); }
  const std::string& Divergence() const { return message_; }

  // --- DeviceTransport ---
  SetHandle OpenInterfaceSet(const Guid& interfaceClass) override;
  EnumResult EnumerateInterface(SetHandle set, std::uint32_t index) override;
  bool ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) override;
  bool ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) override;
  // A recording of format 1 kept no serial numbers: its cameras have none.
  bool ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) override;
  void CloseInterfaceSet(SetHandle set) override;
  Handle Open(const std::string& path) override;
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override;
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override;
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override;
  void CancelPending(Handle handle) override;
  void Close(Handle handle) override;

  // --- ArrivalWatch ---
  Registration Register() override;
  void Unregister(Registration registration) override;

 private:
  // The recorded call that answers `asked`, or null after a divergence.
  const Call* Expect(const Call& asked);
  void SkipCancels(std::size_t& index) const;
  void MoveClockTo(std::uint64_t atUs);
  void Diverge(std::size_t index, const std::string& recorded, const std::string& asked,
               const std::string& detail = {});

  const Recording& recording_;
  VirtualClock& clock_;
  DeviceChangeHandler deviceChange_;
  DivergenceHandler divergence_;
  std::size_t next_ = 0;
  std::size_t nextCancel_ = 0;
  bool delivering_ = false;
  std::string message_;
};

}  // namespace bb::record
