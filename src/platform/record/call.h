#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/guid.h"
#include "util/sha256.h"

namespace bb::record {

// The calls that cross the device transport and the arrival watch. The values
// are the record kinds of the file: a kind is never renumbered or reused.
enum class CallKind : std::uint8_t {
  kOpenInterfaceSet = 0x10,
  kEnumerateInterface = 0x11,
  kReadInterfacePath = 0x12,
  kReadInterfaceLocation = 0x13,
  kCloseInterfaceSet = 0x14,
  kOpen = 0x15,
  kIoControl = 0x16,
  kRead = 0x17,
  kWrite = 0x18,
  kCancelPending = 0x19,
  kClose = 0x1A,
  kReadInterfaceSerial = 0x1B,  // from format 2 on
  kRegisterArrival = 0x20,
  kUnregisterArrival = 0x21,
  kDeviceChange = 0x22,
};

// Bulk writes longer than this keep only their SHA-256: the bytes come from the
// job's image files, whose hashes the header holds.
inline constexpr std::size_t kKeptWriteBytes = 1024;

// One call and its outcome. Which fields a kind uses is listed beside each; the
// others stay at their defaults, and the file does not hold them.
struct Call {
  CallKind kind = CallKind::kClose;
  std::uint64_t atUs = 0;    // when the call began, from the start of the recording
  std::uint64_t tookUs = 0;  // how long it blocked

  // --- what the tool asked ---
  // The set (EnumerateInterface, ReadInterfacePath, ReadInterfaceLocation,
  // ReadInterfaceSerial, CloseInterfaceSet), handle (IoControl, Read, Write, CancelPending, Close) or
  // registration (UnregisterArrival) that the call acts on.
  std::int64_t target = 0;
  // The enumeration index, the I/O control code, or the device-change event.
  std::uint32_t number = 0;
  Guid interfaceClass{};  // OpenInterfaceSet
  // Open: the path opened. DeviceChange: the interface path that the platform
  // named with the event (ok then says whether it is a camera interface).
  std::string path;
  // IoControl: the request block as the driver reads it (see request_view.h),
  // the length cell's value and the data stage sent to the camera.
  std::vector<std::uint8_t> block;
  std::uint32_t lengthCell = 0;
  // IoControl: the data stage sent. Write: the bytes, when kept.
  std::vector<std::uint8_t> sent;
  // Write: the bytes' hash, when they are longer than kKeptWriteBytes.
  std::optional<Sha256Digest> sentDigest;
  std::uint32_t size = 0;  // Read, Write: the count asked to move

  // --- what came back ---
  // ReadInterfacePath, ReadInterfaceLocation, ReadInterfaceSerial, IoControl,
  // Read, Write; for a DeviceChange, that the device is a camera interface.
  bool ok = false;
  // The set (OpenInterfaceSet), handle (Open) or registration (RegisterArrival)
  // returned, or the EnumResult of EnumerateInterface.
  std::int64_t result = 0;
  std::uint32_t done = 0;              // Read, Write: the count moved
  std::string text;                    // ReadInterfacePath, ReadInterfaceLocation, ReadInterfaceSerial
  std::vector<std::uint8_t> received;  // IoControl: the data stage received; Read: the bytes

  friend bool operator==(const Call&, const Call&) = default;
};

}  // namespace bb::record
