#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/arrival_watch.h"
#include "platform/libusb/usb_context.h"
#include "platform/usb_id.h"

struct libusb_device;

namespace bb {

// Arrivals of cameras, the devices with a configured id: libusb's hotplug
// callbacks where the system has them, else a look at the device list every
// 250 ms. Arrivals are announced from Wait, so they reach the host on the
// thread that calls it; while nothing is registered none are announced.
//
// The watch follows the bus from its making on, registered or not: a camera
// restarts the moment its last bytes are in and may be back before the run
// registers for its return, while libusb took in the bus's events inside that
// last transfer. An arrival that no Wait has passed over yet counts for the
// registration that follows.
class LibusbArrivalWatch final : public ArrivalWatch {
 public:
  enum class Mode { kHotplug, kPoll };
  static constexpr std::chrono::milliseconds kPollInterval{250};

  LibusbArrivalWatch(UsbContext& context, std::vector<UsbId> ids, Mode mode);
  ~LibusbArrivalWatch() override;
  LibusbArrivalWatch(const LibusbArrivalWatch&) = delete;
  LibusbArrivalWatch& operator=(const LibusbArrivalWatch&) = delete;

  // Hotplug where libusb has it on this system, else polling.
  static Mode BestMode(const UsbContext& context);

  // Receives the interface path of each camera that arrived.
  void SetAnnouncer(std::function<void(const std::string& path)> announcer) {
    announcer_ = std::move(announcer);
  }

  Registration Register() override;
  void Unregister(Registration registration) override;

  // Lets libusb's events run for at most `wait` and announces the cameras that
  // arrived since the last Wait; without a registration they are dropped.
  // True when one was announced.
  bool Wait(std::chrono::milliseconds wait);

  // Called by libusb's hotplug callback for every device that arrives.
  void Arrived(libusb_device* device);

 private:
  void Queue(const std::string& path);
  std::set<std::string> PresentPaths() const;
  void Poll();

  UsbContext& context_;
  std::vector<UsbId> ids_;
  Mode mode_;
  std::function<void(const std::string&)> announcer_;
  // With hotplug, libusb's handle of the one callback, held all along.
  std::optional<int> hotplug_;
  std::set<Registration> registrations_;
  Registration nextRegistration_ = 1;
  // Polling: the cameras seen at the last look, and when that was.
  std::set<std::string> seen_;
  std::chrono::steady_clock::time_point lastPoll_;
  // Libusb may call back on a thread of its own where it cannot do otherwise.
  std::mutex arrivedMutex_;
  std::vector<std::string> arrived_;
};

}  // namespace bb
