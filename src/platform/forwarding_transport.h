#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/device_transport.h"

namespace bb {

// Passes every call to the transport beneath; a transport that watches or
// changes a few calls derives from it and overrides only those.
class ForwardingTransport : public DeviceTransport {
 public:
  explicit ForwardingTransport(DeviceTransport& inner) : inner_(inner) {}

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
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override {
    return inner_.IoControl(handle, code, block);
  }
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override {
    return inner_.Read(handle, buffer, done);
  }
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override {
    return inner_.Write(handle, data, done);
  }
  void CancelPending(Handle handle) override { inner_.CancelPending(handle); }
  void Close(Handle handle) override { inner_.Close(handle); }

 protected:
  DeviceTransport& inner_;
};

}  // namespace bb
