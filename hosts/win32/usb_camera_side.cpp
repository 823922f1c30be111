#include "camera_side.h"

#include "platform/win32/win_arrival_watch.h"
#include "platform/win32/win_device_transport.h"

namespace bb::win {

namespace {

// The camera's own driver; Windows announces the camera's return.
class UsbCameraSide final : public CameraSide {
 public:
  explicit UsbCameraSide(HWND window) : arrivals_(window) {}
  DeviceTransport& Transport() override { return transport_; }
  ArrivalWatch& Arrivals() override { return arrivals_; }
  void OnIdle() override {}

 private:
  WinDeviceTransport transport_;
  WinArrivalWatch arrivals_;
};

}  // namespace

std::unique_ptr<CameraSide> MakeCameraSide(HWND window) {
  return std::make_unique<UsbCameraSide>(window);
}

}  // namespace bb::win
