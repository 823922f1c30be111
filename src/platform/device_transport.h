#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/guid.h"

namespace bb {

// The device-interface class that the camera's driver publishes.
inline constexpr Guid CameraInterfaceClass{
    0xCB519FA1, 0xE908, 0x11D2, {0xAA, 0xDD, 0x00, 0x60, 0x67, 0x34, 0x87, 0xB7}};

// The camera's USB driver and the OS device layer beneath it. The shape follows
// the Windows calls that the real back end makes (SetupAPI enumeration, CreateFile,
// DeviceIoControl, ReadFile, WriteFile), so that the search rules of the device
// link live in the core and not in each back end.
//
// Every call blocks until the operation is complete. All calls but CancelPending
// come from the thread that runs the camera's operations.
class DeviceTransport {
 public:
  using SetHandle = std::intptr_t;
  using Handle = std::intptr_t;
  static constexpr SetHandle kNoSet = -1;
  static constexpr Handle kInvalidHandle = -1;

  enum class EnumResult {
    kFound,        // an interface exists at this index
    kNoMoreItems,  // the enumeration is over (ERROR_NO_MORE_ITEMS)
    kOtherError,   // this index failed for another reason; later ones may not
  };

  virtual ~DeviceTransport() = default;

  // The set of present devices exposing interfaces of the class, or kNoSet when
  // none can be obtained. The caller closes a valid set with CloseInterfaceSet.
  virtual SetHandle OpenInterfaceSet(const Guid& interfaceClass) = 0;
  virtual EnumResult EnumerateInterface(SetHandle set, std::uint32_t index) = 0;
  // Reads the interface path of an enumerated index; false when its detail
  // cannot be read.
  virtual bool ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) = 0;
  // Reads where the device of an enumerated index is plugged in: a text that
  // stays the same when the device re-enumerates under a new path. False when
  // the transport cannot tell.
  virtual bool ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) = 0;
  // Reads the USB serial number of the device of an enumerated index, as UTF-8
  // text from the device. False when the device has none, or the transport
  // cannot read it.
  virtual bool ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) = 0;
  virtual void CloseInterfaceSet(SetHandle set) = 0;

  // Opens a path with read and write access, shared for both, existing only,
  // synchronous. Returns kInvalidHandle when it cannot be opened.
  virtual Handle Open(const std::string& path) = 0;
  // One I/O control; the block is both the input and the output buffer. Whatever
  // the driver writes back into the block is not looked at. True on success.
  virtual bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) = 0;
  // One synchronous read or write; `done` receives the count moved. False when
  // the call itself failed.
  virtual bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) = 0;
  virtual bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) = 0;
  // Ends a read or write that is pending on the handle, which then fails. May be
  // called from any thread while another thread waits in that transfer; does
  // nothing when none is pending.
  virtual void CancelPending(Handle handle) = 0;
  virtual void Close(Handle handle) = 0;
};

}  // namespace bb
