#include <chrono>
#include <cstdio>

#include "camera_link.h"
#include "platform/libusb/libusb_arrival_watch.h"
#include "platform/libusb/libusb_transport.h"
#include "platform/libusb/usb_context.h"

namespace bb::cli {

namespace {

// How long an idle step loop waits for libusb's events before it looks at
// Ctrl-C again.
constexpr std::chrono::milliseconds kIdleWait{100};

// Cameras through libusb: the devices with the configured ids.
class UsbCamera final : public CameraLink {
 public:
  UsbCamera(const std::vector<UsbId>& ids, std::FILE* err)
      : transport_(context_, ids), arrivals_(context_, ids, LibusbArrivalWatch::BestMode(context_)) {
    transport_.OnUsbUnavailable([err](const std::string& reason) {
      std::fprintf(err, "burnbench-cli: libusb cannot reach USB devices: %s\n", reason.c_str());
    });
    transport_.OnAccessDenied([err](const std::string& path) {
      std::fprintf(err,
                   "burnbench-cli: no permission to open the camera at %s. A udev rule gives it:\n"
                   "  burnbench-cli udev-rule | sudo tee /etc/udev/rules.d/70-burnbench.rules\n"
                   "then plug the camera in again (the README's Linux section has the details).\n",
                   path.c_str());
    });
  }

  DeviceTransport& Transport() override { return transport_; }
  ArrivalWatch& Arrivals() override { return arrivals_; }
  void OnArrival(ArrivalHandler handler) override {
    arrivals_.SetAnnouncer([handler = std::move(handler)](const std::string& path) {
      handler(DeviceArrival{true, path});
    });
  }
  bool Idle() override { return arrivals_.Wait(kIdleWait); }

 private:
  UsbContext context_;
  LibusbTransport transport_;
  LibusbArrivalWatch arrivals_;
};

// Each session has a libusb context of its own, so that nothing of libusb's
// is shared between the sessions' threads.
class UsbWorld final : public CameraWorld {
 public:
  UsbWorld(std::vector<UsbId> ids, std::FILE* err) : ids_(std::move(ids)), err_(err) {}
  std::unique_ptr<CameraLink> Connect(CameraTime) override { return std::make_unique<UsbCamera>(ids_, err_); }

 private:
  std::vector<UsbId> ids_;
  std::FILE* err_;
};

}  // namespace

bool DriverCamerasNeedIds() { return true; }

std::unique_ptr<CameraWorld> MakeDriverWorld(const std::vector<UsbId>& ids, std::FILE* err) {
  return std::make_unique<UsbWorld>(ids, err);
}

}  // namespace bb::cli
