#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "cli_options.h"
#include "platform/arrival_watch.h"
#include "platform/device_transport.h"
#include "platform/usb_id.h"

namespace bb::cli {

// Where the command-line program finds cameras: the built-in simulated camera,
// or the camera's driver (on Windows) or libusb in its place.
class CameraLink {
 public:
  virtual ~CameraLink() = default;
  virtual DeviceTransport& Transport() = 0;
  virtual ArrivalWatch& Arrivals() = 0;
  // Where device arrivals are delivered, with what the platform told of them.
  using ArrivalHandler = std::function<void(const DeviceArrival&)>;
  virtual void OnArrival(ArrivalHandler handler) = 0;
  // Lets the outside world move while no step is queued; true when something
  // happened that may have queued a step.
  virtual bool Idle() = 0;
};

// A legacy camera is a VEXA611, VEXA616 or VEXA618. A stalled read lets the
// camera's time pass through `passTime`.
std::unique_ptr<CameraLink> MakeSimulatedCamera(DemoFault fault, bool legacy,
                                                std::function<void(std::uint32_t ms)> passTime = {});

// True where cameras are found by configured USB ids (libusb); the Windows
// driver knows its cameras itself.
bool DriverCamerasNeedIds();

// The real cameras. Problems that concern the whole program (no access to USB
// at all, no permission to open a camera) are said on `err`, once.
std::unique_ptr<CameraLink> MakeDriverCamera(const std::vector<UsbId>& ids, std::FILE* err);

}  // namespace bb::cli
