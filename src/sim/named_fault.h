#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/sim_bus.h"

namespace bb::sim {

// A fault of the simulated camera by the name that support staff and scripts
// give it: "busy", "request:0x21/4:2", "write-short:3", "pipe-open:PIPE01:1".
struct NamedFault {
  enum class Kind {
    kAbsent, kBusy, kNoStorage, kWriteTimeout, kVerifyMismatch, kStorageWriteFails, kNeverReturns,
    kRequest, kWriteFails, kWriteShort, kReadFails, kReadShort, kReadStalls, kPipeOpen,
  };
  Kind kind = Kind::kAbsent;
  std::uint8_t code = 0;                // request
  std::optional<std::uint16_t> value;   // request, when given
  std::uint32_t nth = 1;                // the counted faults: which call, from 1
  std::string pipe;                     // pipe-open
};

// Nothing when `name` names no fault; counts start at 1.
std::optional<NamedFault> ParseNamedFault(std::string_view name);

// Injects the fault for camera `camera` alone, its calls counted among that
// camera's own, or without a camera for every camera, counted over the bus.
SimBus::FaultId InjectNamedFault(SimBus& bus, std::optional<std::size_t> camera, const NamedFault& fault);

// A stalled read takes this long, beyond the bulk-read watchdog.
inline constexpr std::uint32_t kStalledReadMs = 6000;

}  // namespace bb::sim
