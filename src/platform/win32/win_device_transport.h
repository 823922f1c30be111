#pragma once

#include <map>
#include <memory>

#include "platform/device_transport.h"

namespace bb {

// The camera's driver reached through SetupAPI and the file API. Device
// information sets stay open between calls, so the transport keeps, per set, what
// the index-based calls need; a set handle it does not know is never passed on
// to SetupAPI, which would take it for a pointer.
class WinDeviceTransport final : public DeviceTransport {
 public:
  WinDeviceTransport();
  // Destroys the sets that a caller left open.
  ~WinDeviceTransport() override;
  WinDeviceTransport(const WinDeviceTransport&) = delete;
  WinDeviceTransport& operator=(const WinDeviceTransport&) = delete;

  SetHandle OpenInterfaceSet(const Guid& interfaceClass) override;
  EnumResult EnumerateInterface(SetHandle set, std::uint32_t index) override;
  bool ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) override;
  // The device's location path, or else its location information, where the
  // system keeps one.
  bool ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) override;
  // The serial number in the device's instance id, where the system made that
  // id of the device's serial number.
  bool ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) override;
  void CloseInterfaceSet(SetHandle set) override;

  Handle Open(const std::string& path) override;
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override;
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override;
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override;
  void CancelPending(Handle handle) override;
  void Close(Handle handle) override;

 private:
  struct InterfaceSet;

  std::map<SetHandle, std::unique_ptr<InterfaceSet>> sets_;
};

}  // namespace bb
