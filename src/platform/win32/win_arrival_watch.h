#pragma once

#include <windows.h>

#include "platform/arrival_watch.h"

namespace bb {

// Device-interface notifications of the camera's class, delivered to the given
// window as WM_DEVICECHANGE.
class WinArrivalWatch final : public ArrivalWatch {
 public:
  explicit WinArrivalWatch(HWND window) : window_(window) {}

  Registration Register() override;
  void Unregister(Registration registration) override;

 private:
  HWND window_;
};

}  // namespace bb
