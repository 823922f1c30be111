#pragma once

#include <functional>
#include <memory>

#include "cli_options.h"
#include "platform/arrival_watch.h"
#include "platform/device_transport.h"

namespace bb::cli {

// Where the command-line program finds cameras: the built-in simulated camera,
// or (on Windows) the camera's driver.
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

// A legacy camera is a VEXA611, VEXA616 or VEXA618.
std::unique_ptr<CameraLink> MakeSimulatedCamera(DemoFault fault, bool legacy);

// The driver's cameras; nullptr where this build has no USB back end.
std::unique_ptr<CameraLink> MakeDriverCamera();

}  // namespace bb::cli
