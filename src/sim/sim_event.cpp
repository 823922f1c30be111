#include "sim/sim_event.h"

#include "util/format.h"

namespace bb::sim {

std::string SimEvent::Describe() const {
  switch (kind) {
    case Kind::kEnumerate:
      return "enumerate";
    case Kind::kOpen:
      return "open " + path;
    case Kind::kOpenFailed:
      return "open failed " + path;
    case Kind::kClose:
      return "close " + path;
    case Kind::kIoControl:
      return Format("ioctl 0x%x %02x wValue=%u wIndex=%u wLength=%u %s%s", request.ioctl,
                    request.bRequest, request.wValue, request.wIndex, request.wLength,
                    request.direction == 1 ? "in" : "out", ok ? "" : " failed");
    case Kind::kWrite:
      return Format("write %u/%u%s", moved, size, ok ? "" : " failed");
    case Kind::kRead:
      return Format("read %u/%u%s", moved, size, ok ? "" : " failed");
    case Kind::kReenumerate:
      return "re-enumerate " + path;
  }
  return {};
}

}  // namespace bb::sim
