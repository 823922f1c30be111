#pragma once

#include <windows.h>

#include <vector>

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

// What a WM_DEVICECHANGE arrival's record (its lParam, a DEV_BROADCAST_HDR or
// null) says of the device. Windows sends volume and port arrivals to every
// top-level window, so only a device-interface record of the camera's class
// is a camera.
DeviceArrival DescribeArrival(LPARAM record);

// The record Windows hands over when an interface of the camera's class with
// this path arrives; an aligned buffer whose start is the record.
std::vector<DWORD> CameraArrivalRecord(const std::string& interfacePath);

}  // namespace bb
