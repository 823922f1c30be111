#pragma once

#include <windows.h>

#include <memory>

#include "platform/arrival_watch.h"
#include "platform/device_transport.h"

namespace bb::win {

// The camera the program talks to: the USB driver in Burnbench.exe, the
// simulated camera in BurnbenchDemo.exe. Each program links one maker.
class CameraSide {
 public:
  virtual ~CameraSide() = default;
  virtual DeviceTransport& Transport() = 0;
  virtual ArrivalWatch& Arrivals() = 0;
  // The message loop has nothing to do; a camera that restarted may come back.
  virtual void OnIdle() = 0;
};

// Arrivals reach `window` as WM_DEVICECHANGE.
std::unique_ptr<CameraSide> MakeCameraSide(HWND window);

}  // namespace bb::win
