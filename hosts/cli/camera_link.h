#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli_options.h"
#include "platform/arrival_watch.h"
#include "platform/device_transport.h"
#include "platform/usb_id.h"

namespace bb::cli {

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

// Where the command-line program finds cameras: the built-in simulated ones,
// or the cameras' driver (on Windows) or libusb in its place. One for the
// process.
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

// `count` simulated cameras at ports 1, 2, ... with the chosen faults and
// serial numbers; nullptr with the reason in `error` when one names no camera. Legacy cameras are
// VEXA611, VEXA616 or VEXA618. Each fault that fires is told, as a line
// "fault fired: NAME", to `tellFired`.
std::unique_ptr<CameraWorld> MakeSimulatedWorld(unsigned count, const std::vector<FaultChoice>& faults,
                                                const std::vector<SerialChoice>& serials, bool legacy,
                                                std::function<void(const std::string&)> tellFired,
                                                std::string& error);

// A link to no camera at all, for the commands that need none.
std::unique_ptr<CameraLink> MakeNoCamera();

// True where cameras are found by configured USB ids (libusb); the Windows
// driver knows its cameras itself.
bool DriverCamerasNeedIds();

// The real cameras.
std::unique_ptr<CameraWorld> MakeDriverWorld(const std::vector<UsbId>& ids);

}  // namespace bb::cli
