#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/arrival_watch.h"
#include "platform/device_transport.h"

namespace bb {

// What one session holds of the cameras: a transport of its own and its own
// arrival notifications. Made and used on the session's thread.
class CameraLink {
 public:
  virtual ~CameraLink() = default;
  virtual DeviceTransport& Transport() = 0;
  virtual ArrivalWatch& Arrivals() = 0;
  // Where device arrivals are delivered, with what the platform told of them,
  // on the session's thread.
  using ArrivalHandler = std::function<void(const DeviceArrival&)>;
  virtual void OnArrival(ArrivalHandler handler) = 0;
  // Lets the outside world move while no step is queued; true when something
  // happened that may have queued a step.
  virtual bool Idle() = 0;
  // For a link kept only to look at the bus (a station's): takes in what the
  // platform announced since the last call and drops it, without waiting, so
  // that nothing piles up in a link that never idles.
  virtual void DropAnnounced() {}
  // True when an open of the interface at `path` found it held by another
  // program; only libusb tells that apart from other failures.
  virtual bool HeldElsewhere(const std::string& /*path*/) const { return false; }
};

// Where a program finds cameras: simulated ones, or the cameras' driver (on
// Windows) or libusb in its place. One for the process.
class CameraWorld {
 public:
  virtual ~CameraWorld() = default;
  // Time a simulated camera takes of its own, as a stalled read does: it
  // passes on the clock of the session whose transfer takes it.
  using CameraTime = std::function<void(std::uint32_t ms)>;
  // Where a link tells the operator what stands in its way (no permission to
  // open a camera, a camera another program holds): a line for standard
  // error, which the session writes through the terminal. None: nothing is said.
  using Notes = std::function<void(const std::string& line)>;
  // A link for one session, called on the session's own thread.
  virtual std::unique_ptr<CameraLink> Connect(CameraTime passTime, Notes notes) = 0;
};

}  // namespace bb
