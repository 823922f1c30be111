#include <windows.h>
#include <dbt.h>

#include "camera_worlds.h"
#include "platform/win32/win_arrival_watch.h"
#include "platform/win32/win_device_transport.h"

namespace bb::cli {

namespace {

// The camera's driver, with a message-only window to receive its arrivals:
// a console program has no window of its own. The window belongs to the
// thread that makes it, which is the session's, and so do its messages.
class DriverCamera final : public CameraLink {
 public:
  DriverCamera() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &DriverCamera::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BurnbenchCliArrivals";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, windowClass.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    arrivals_ = std::make_unique<WinArrivalWatch>(window_);
  }
  ~DriverCamera() override {
    arrivals_.reset();
    if (window_ != nullptr) DestroyWindow(window_);
  }
  DriverCamera(const DriverCamera&) = delete;
  DriverCamera& operator=(const DriverCamera&) = delete;

  DeviceTransport& Transport() override { return transport_; }
  ArrivalWatch& Arrivals() override { return *arrivals_; }
  void OnArrival(ArrivalHandler handler) override { handler_ = std::move(handler); }

  bool Idle() override {
    // Wait a little for a message, then deliver what came.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    bool any = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
      any = true;
    }
    return any;
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEARRIVAL) {
      auto* self = reinterpret_cast<DriverCamera*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (self != nullptr && self->handler_) self->handler_(DescribeArrival(lParam));
      return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  WinDeviceTransport transport_;
  HWND window_ = nullptr;
  std::unique_ptr<WinArrivalWatch> arrivals_;
  ArrivalHandler handler_;
};

// Each session opens the driver for itself.
class DriverWorld final : public CameraWorld {
 public:
  std::unique_ptr<CameraLink> Connect(CameraTime, Notes) override { return std::make_unique<DriverCamera>(); }
};

}  // namespace

bool DriverCamerasNeedIds() { return false; }

std::unique_ptr<CameraWorld> MakeDriverWorld(const std::vector<UsbId>&) {
  return std::make_unique<DriverWorld>();
}

}  // namespace bb::cli
