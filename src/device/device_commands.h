#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "common/context.h"
#include "device/device_link.h"
#include "platform/console.h"

namespace bb {

// The answer of a version query; bytes 0 to 3 are the version shown.
using VersionRecord = std::array<std::uint8_t, 8>;

// The versions the camera reported, each kept from its last successful query:
// what a run's report tells about the camera.
struct VersionsRead {
  std::optional<VersionRecord> ap;
  std::optional<VersionRecord> isp;
  std::optional<VersionRecord> customer;
};

// The camera's commands as the procedures use them, and the version reports.
// User-interface thread only; each call blocks for its requests and sleeps.
class DeviceCommands {
 public:
  DeviceCommands(DeviceLink& link, Console& console, const Context& context);

  // Downloads `size` bytes of `data` into the camera's memory at `address`.
  int WriteRegion(std::span<const std::uint8_t> data, std::uint32_t address, std::uint32_t size);

  // One write-status query each: byte 0 (write status) or byte 1 (storage
  // present) of the reply. -1 without an output byte, 22 for any failure.
  int QueryWriteStatus(std::uint8_t* status);
  int QueryStorage(std::uint8_t* present);

  // Polls the write status every sleepMs, at most `count` times, until it is
  // not 0. Returns 0 for status 1, 301 otherwise, or a failed query's status.
  int WaitWriteDone(std::uint32_t sleepMs, std::uint32_t count);

  int QueryApVersion(VersionRecord& record);
  int QueryIspVersion(VersionRecord& record);
  int QueryCustomerVersion(VersionRecord& record);

  // The "Ver. Check": empties the log and logs the camera's versions.
  void CheckVersions();
  // Logs the camera's ISP version and puts it into the caption.
  void ShowIspVersion();

  const VersionsRead& Versions() const { return versions_; }
  void ForgetVersions() { versions_ = {}; }

 private:
  int QueryWriteStatusByte(std::size_t which, std::uint8_t* out);

  DeviceLink& link_;
  Console& console_;
  const Context& context_;
  VersionsRead versions_;
};

}  // namespace bb
