#include <chrono>
#include <set>

#include "camera_worlds.h"
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
  UsbCamera(const std::vector<UsbId>& ids, CameraWorld::Notes notes)
      : transport_(context_, ids), arrivals_(context_, ids, LibusbArrivalWatch::BestMode(context_)) {
    // A link made only to look at the bus (a station's) may have nothing to say.
    if (!notes) notes = [](const std::string&) {};
    transport_.OnUsbUnavailable([notes](const std::string& reason) {
      notes("burnbench-cli: libusb cannot reach USB devices: " + reason);
    });
    transport_.OnAccessDenied([notes](const std::string& path) {
      notes("burnbench-cli: no permission to open the camera at " + path +
            ". A udev rule gives it:\n"
            "  burnbench-cli udev-rule | sudo tee /etc/udev/rules.d/70-burnbench.rules\n"
            "then plug the camera in again (the README's Linux section has the details).");
    });
    // Nothing waits for a camera another program holds, nor shares it.
    transport_.OnHeldElsewhere([this, notes](const std::string& path, const std::string& location) {
      held_.insert(path);
      notes("burnbench-cli: the camera at " + (location.empty() ? path : location) +
            " is held by another program");
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
  // Nothing is registered on such a link: its arrivals go nowhere, and
  // libusb frees what it kept of the bus's events.
  void DropAnnounced() override { arrivals_.Wait(std::chrono::milliseconds(0)); }
  bool HeldElsewhere(const std::string& path) const override { return held_.count(path) != 0; }

 private:
  UsbContext context_;
  LibusbTransport transport_;
  LibusbArrivalWatch arrivals_;
  std::set<std::string> held_;
};

// Each session has a libusb context of its own, so that nothing of libusb's
// is shared between the sessions' threads.
class UsbWorld final : public CameraWorld {
 public:
  explicit UsbWorld(std::vector<UsbId> ids) : ids_(std::move(ids)) {}
  std::unique_ptr<CameraLink> Connect(CameraTime, Notes notes) override {
    return std::make_unique<UsbCamera>(ids_, notes);
  }

 private:
  std::vector<UsbId> ids_;
};

}  // namespace

bool DriverCamerasNeedIds() { return true; }

std::unique_ptr<CameraWorld> MakeDriverWorld(const std::vector<UsbId>& ids) {
  return std::make_unique<UsbWorld>(ids);
}

}  // namespace bb::cli
