#pragma once

#include <cstdint>
#include <functional>

#include "platform/arrival_watch.h"
#include "platform/device_transport.h"
#include "platform/record/recording_writer.h"

namespace bb::record {

// Microseconds on a clock that only moves forward.
using MicrosecondClock = std::function<std::uint64_t()>;

// The machine's steady clock.
MicrosecondClock SteadyMicroseconds();

// Passes every call to the transport beneath and hands it, with its outcome
// and its time, to the sink once it returns. CancelPending may come from
// another thread while a read waits; it is recorded when it is made, so in the
// file it stands before the read it ended.
class RecordingTransport final : public DeviceTransport {
 public:
  RecordingTransport(DeviceTransport& inner, CallSink& sink, MicrosecondClock now)
      : inner_(inner), sink_(sink), now_(std::move(now)) {}

  SetHandle OpenInterfaceSet(const Guid& interfaceClass) override;
  EnumResult EnumerateInterface(SetHandle set, std::uint32_t index) override;
  bool ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) override;
  bool ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) override;
  bool ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) override;
  void CloseInterfaceSet(SetHandle set) override;
  Handle Open(const std::string& path) override;
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override;
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override;
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override;
  void CancelPending(Handle handle) override;
  void Close(Handle handle) override;

 private:
  Call Begin(CallKind kind) const;
  void End(Call& call) const;

  DeviceTransport& inner_;
  CallSink& sink_;
  MicrosecondClock now_;
};

// The same for the arrival watch. The host hands it every device-change event
// that it passes to the sequencer, since those reach the host by its own road.
class RecordingArrivalWatch final : public ArrivalWatch {
 public:
  RecordingArrivalWatch(ArrivalWatch& inner, CallSink& sink, MicrosecondClock now)
      : inner_(inner), sink_(sink), now_(std::move(now)) {}

  Registration Register() override;
  void Unregister(Registration registration) override;
  void RecordDeviceChange(std::uint32_t event, const DeviceArrival& arrival);

 private:
  ArrivalWatch& inner_;
  CallSink& sink_;
  MicrosecondClock now_;
};

}  // namespace bb::record
