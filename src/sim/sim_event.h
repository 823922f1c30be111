#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/sim_request.h"

namespace bb::sim {

// One entry of the simulated driver's transcript.
struct SimEvent {
  enum class Kind { kEnumerate, kOpen, kOpenFailed, kClose, kIoControl, kWrite, kRead, kReenumerate };

  Kind kind = Kind::kEnumerate;
  std::string path;          // open, close, re-enumerate (the new path)
  SimRequest request;        // I/O control
  std::uint32_t size = 0;    // write, read: the count asked
  std::uint32_t moved = 0;   // write, read: the count moved
  bool ok = true;            // I/O control, write, read
  // The camera the call went to, by its index on the bus; none for a call to
  // no camera in particular (enumeration, an open that found none).
  std::optional<std::size_t> camera;

  // A one-line text for assertions: "open \\?\sim#cam1\PIPE00",
  // "ioctl 0x22000c 20 wValue=1 wIndex=0 wLength=8 in", "write 65536/65536".
  std::string Describe() const;
};

}  // namespace bb::sim
