#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "platform/device_transport.h"
#include "terminal.h"

namespace bb::cli {

// Passes every call to the real transport and draws a progress line on a
// terminal: the bytes of each bulk transfer against the length its header
// announced, and the polls of a storage write. One per session.
//
// A transfer is shown when it starts, when it is done, and between at most
// every 100 ms: drawn at every piece, every camera's transfer would queue up
// for the terminal (or the station) behind the others'.
class ProgressTransport final : public DeviceTransport {
 public:
  using Steady = std::chrono::steady_clock;
  using Now = std::function<Steady::time_point()>;
  ProgressTransport(DeviceTransport& inner, cli::TerminalChannel channel, std::uint16_t blockUnit,
                    Now now = Steady::now)
      : inner_(inner), channel_(channel), blockUnit_(blockUnit), now_(std::move(now)) {}
  // Tells the share of each transfer done, in percent, instead of drawing it:
  // a station shows it on its board.
  using PercentSink = std::function<void(int percent)>;
  ProgressTransport(DeviceTransport& inner, cli::TerminalChannel channel, std::uint16_t blockUnit,
                    PercentSink percent, Now now = Steady::now)
      : inner_(inner), channel_(channel), blockUnit_(blockUnit), percent_(std::move(percent)), now_(std::move(now)) {}

  SetHandle OpenInterfaceSet(const Guid& interfaceClass) override {
    return inner_.OpenInterfaceSet(interfaceClass);
  }
  EnumResult EnumerateInterface(SetHandle set, std::uint32_t index) override {
    return inner_.EnumerateInterface(set, index);
  }
  bool ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) override {
    return inner_.ReadInterfacePath(set, index, path);
  }
  bool ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) override {
    return inner_.ReadInterfaceLocation(set, index, location);
  }
  bool ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) override {
    return inner_.ReadInterfaceSerial(set, index, serial);
  }
  void CloseInterfaceSet(SetHandle set) override { inner_.CloseInterfaceSet(set); }
  Handle Open(const std::string& path) override { return inner_.Open(path); }
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override;
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override;
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override;
  void CancelPending(Handle handle) override { inner_.CancelPending(handle); }
  void Close(Handle handle) override { inner_.Close(handle); }

  // Ends the line in progress: the run is over.
  void Finish();

 private:
  void Draw(const char* what, std::uint64_t done, std::uint64_t total);

  DeviceTransport& inner_;
  cli::TerminalChannel channel_;
  std::uint16_t blockUnit_;
  std::uint64_t expected_ = 0;
  std::uint64_t moved_ = 0;
  std::uint32_t polls_ = 0;
  bool storageWriting_ = false;
  bool drawn_ = false;
  PercentSink percent_;
  int lastPercent_ = -1;
  Now now_;
  // When the transfer under way was last shown; none before its first piece.
  std::optional<Steady::time_point> shown_;
};

}  // namespace bb::cli
