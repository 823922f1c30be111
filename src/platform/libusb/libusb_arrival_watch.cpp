#include "platform/libusb/libusb_arrival_watch.h"

#include <libusb.h>

#include <thread>

#include "platform/libusb/usb_camera_list.h"

namespace bb {

namespace {

int LIBUSB_CALL OnHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event, void* user) {
  auto* watch = static_cast<LibusbArrivalWatch*>(user);
  watch->Arrived(device);
  return 0;
}

}  // namespace

LibusbArrivalWatch::LibusbArrivalWatch(UsbContext& context, std::vector<UsbId> ids, Mode mode)
    : context_(context), ids_(std::move(ids)), mode_(mode) {
  if (context_.Get() == nullptr) return;
  if (mode_ == Mode::kPoll) {
    seen_ = PresentPaths();
    lastPoll_ = std::chrono::steady_clock::now();
    return;
  }
  // libusb matches one id per callback; the list is matched on arrival.
  libusb_hotplug_callback_handle handle = 0;
  if (libusb_hotplug_register_callback(context_.Get(), LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, 0,
                                       LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
                                       &OnHotplug, this, &handle) == LIBUSB_SUCCESS) {
    hotplug_ = handle;
  }
}

LibusbArrivalWatch::~LibusbArrivalWatch() {
  if (hotplug_) libusb_hotplug_deregister_callback(context_.Get(), *hotplug_);
}

LibusbArrivalWatch::Mode LibusbArrivalWatch::BestMode(const UsbContext& context) {
  return context.HasHotplug() ? Mode::kHotplug : Mode::kPoll;
}

ArrivalWatch::Registration LibusbArrivalWatch::Register() {
  if (context_.Get() == nullptr || (mode_ == Mode::kHotplug && !hotplug_)) return kNone;
  const Registration registration = nextRegistration_++;
  registrations_.insert(registration);
  return registration;
}

void LibusbArrivalWatch::Unregister(Registration registration) {
  if (registrations_.erase(registration) == 0 || !registrations_.empty()) return;
  const std::lock_guard<std::mutex> lock(arrivedMutex_);
  arrived_.clear();
}

void LibusbArrivalWatch::Arrived(libusb_device* device) {
  if (HasConfiguredId(device, ids_)) Queue(DescribeCamera(device).path);
}

void LibusbArrivalWatch::Queue(const std::string& path) {
  const std::lock_guard<std::mutex> lock(arrivedMutex_);
  arrived_.push_back(path);
}

std::set<std::string> LibusbArrivalWatch::PresentPaths() const {
  std::set<std::string> paths;
  const UsbCameraList cameras(context_.Get(), ids_);
  for (const UsbCameraEntry& entry : cameras.Entries()) paths.insert(entry.path);
  return paths;
}

void LibusbArrivalWatch::Poll() {
  std::set<std::string> present = PresentPaths();
  for (const std::string& path : present) {
    if (seen_.count(path) == 0) Queue(path);
  }
  seen_ = std::move(present);
  lastPoll_ = std::chrono::steady_clock::now();
}

bool LibusbArrivalWatch::Wait(std::chrono::milliseconds wait) {
  if (context_.Get() == nullptr) {
    std::this_thread::sleep_for(wait);
    return false;
  }
  context_.HandleEvents(wait);
  if (mode_ == Mode::kPoll && std::chrono::steady_clock::now() - lastPoll_ >= kPollInterval) Poll();
  std::vector<std::string> arrived;
  {
    const std::lock_guard<std::mutex> lock(arrivedMutex_);
    arrived.swap(arrived_);
  }
  bool announced = false;
  for (const std::string& path : arrived) {
    if (registrations_.empty() || !announcer_) break;
    announcer_(path);
    announced = true;
  }
  return announced;
}

}  // namespace bb
