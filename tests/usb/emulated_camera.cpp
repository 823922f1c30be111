#include "usb/emulated_camera.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>

#include "util/byte_order.h"
#include "util/format.h"

namespace bb::test {

namespace {

constexpr std::uint8_t kBulkOut = 0x01;
constexpr std::uint8_t kBulkIn = 0x81;
constexpr std::size_t kSetupSize = 8;
// The serial number's string index in the device descriptor, and the only
// language the camera speaks (English, United States).
constexpr std::uint8_t kSerialIndex = 3;
constexpr std::uint16_t kLanguage = 0x0409;

// What a modern host controller offers: a bulk transfer of any size goes as
// one URB, so the model sees each transfer whole.
constexpr std::uint32_t kCapabilities = USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET |
                                        USBDEVFS_CAP_BULK_CONTINUATION;

std::string Hex16(std::uint16_t value) {
  return Format("%02x%02x", value & 0xFFu, static_cast<unsigned>(value >> 8));
}

void Complete(UMockdevIoctlClient* client, int error) {
  umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

usbdevfs_urb* UrbOf(UMockdevIoctlData* data) { return reinterpret_cast<usbdevfs_urb*>(data->data); }

}  // namespace

// The way in from umockdev's worker thread. Each signal connection holds it
// until umockdev lets go of the handler, which its clients keep alive past the
// camera: a program's files may close after the camera went.
struct EmulatedCamera::Gate {
  std::mutex mutex;
  EmulatedCamera* camera = nullptr;
};

void EmulatedCamera::ForgetGate(void* gate, GClosure*) { delete static_cast<std::shared_ptr<Gate>*>(gate); }

EmulatedCamera::EmulatedCamera(UsbTestbed& testbed, std::string sysName, UsbId id)
    : testbed_(testbed), sysName_(std::move(sysName)), id_(id), gate_(std::make_shared<Gate>()) {
  gate_->camera = this;
  handler_ = umockdev_ioctl_base_new();
  g_signal_connect_data(handler_, "handle-ioctl", G_CALLBACK(&EmulatedCamera::HandleIoctl),
                        new std::shared_ptr<Gate>(gate_), &EmulatedCamera::ForgetGate, GConnectFlags{});
  g_signal_connect_data(handler_, "client-vanished", G_CALLBACK(&EmulatedCamera::ClientVanished),
                        new std::shared_ptr<Gate>(gate_), &EmulatedCamera::ForgetGate, GConnectFlags{});
}

EmulatedCamera::~EmulatedCamera() {
  {
    // Waits for a call under way on the worker thread; later ones find no camera.
    const std::lock_guard<std::mutex> closing(gate_->mutex);
    gate_->camera = nullptr;
  }
  if (plugged_) Unplug();
  for (const std::string& node : nodes_) umockdev_testbed_detach_ioctl(testbed_.Get(), node.c_str(), nullptr);
  const std::lock_guard<std::mutex> lock(mutex_);
  for (const Queued& queued : reapable_) g_object_unref(queued.urb);
  for (const Queued& queued : stalled_) g_object_unref(queued.urb);
  g_object_unref(handler_);
}

std::string EmulatedCamera::Node() const {
  return Format("/dev/bus/usb/%03u/%03u", UsbTestbed::kBus, address_);
}

std::string EmulatedCamera::InterfacePath() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return Format("usb:%s@%u", sysName_.c_str(), address_);
}

std::string EmulatedCamera::Location() const { return sysName_; }

std::string EmulatedCamera::Descriptors() const {
  const std::string serialIndex = serial_.empty() ? "00" : Format("%02x", kSerialIndex);
  std::string device = "1201000200000040" + Hex16(id_.vendor) + Hex16(id_.product) + "00010000" + serialIndex + "01";
  if (faults_.noBulkEndpoints) {
    // A status endpoint only: the camera's data pipes are missing.
    return device + "09021900010100c032" + "090400000100ff0000" + "0705830308000a";
  }
  return device + "09022000010100c032" + "090400000200ff0000" + "07058102000200" + "07050102000200";
}

void EmulatedCamera::Plug() {
  std::string record;
  std::string node;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    address_ = testbed_.NextAddress();
    if (std::exchange(poweredOff_, false)) model_.PoweredUp();
    plugged_ = true;
    pulled_ = false;
    claimedBy_ = nullptr;
    node = Node();
    record = DeviceRecord(sysName_, address_, Descriptors());
  }
  // The node answers before the device is announced, so that whoever sees
  // the arrival can open it.
  umockdev_testbed_attach_ioctl(testbed_.Get(), node.c_str(), handler_, nullptr);
  nodes_.push_back(node);
  umockdev_testbed_add_from_string(testbed_.Get(), record.c_str(), nullptr);
}

void EmulatedCamera::Unplug() {
  LeaveBus();
  const std::lock_guard<std::mutex> lock(mutex_);
  poweredOff_ = true;
}

void EmulatedCamera::LeaveBus() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    plugged_ = false;
  }
  // The old node keeps answering, with "no such device", as the kernel does
  // for a program that still holds it open.
  const std::string device = "/sys" + UsbTestbed::DevicePath(sysName_);
  umockdev_testbed_uevent(testbed_.Get(), device.c_str(), "remove");
  umockdev_testbed_remove_device(testbed_.Get(), device.c_str());
}

void EmulatedCamera::DenyAccess() const {
  std::string node;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    node = testbed_.RootDir() + Node();
  }
  chmod(node.c_str(), geteuid() == 0 ? 0600 : 0);
}

void EmulatedCamera::ReleaseClaimElsewhere() {
  const std::lock_guard<std::mutex> lock(mutex_);
  faults_.claimedElsewhere = false;
}

void EmulatedCamera::Serve() {
  bool restart = false;
  bool unplug = false;
  bool staysAway = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    restart = std::exchange(restartWanted_, false);
    unplug = std::exchange(unplugWanted_, false);
    staysAway = faults_.neverReturns;
  }
  if (unplug) Unplug();
  if (!restart) return;
  LeaveBus();
  if (staysAway) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    model_.Restarted();
    ++reenumerations_;
  }
  Plug();
}

std::vector<sim::SimRequest> EmulatedCamera::Requests() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<std::uint32_t> EmulatedCamera::BulkOutSizes() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return bulkOutSizes_;
}

std::uint32_t EmulatedCamera::BulkInCount() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return bulkIns_;
}

void EmulatedCamera::WaitForStalledRead() {
  std::unique_lock<std::mutex> lock(mutex_);
  stalledChanged_.wait(lock, [this] { return !stalled_.empty(); });
}

int EmulatedCamera::SerialReads() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return serialReads_;
}

bool EmulatedCamera::WaitForSerialReads(int count, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return serialRead_.wait_for(lock, limit, [&] { return serialReads_ >= count; });
}

std::vector<std::string> EmulatedCamera::FiredFaults() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return fired_;
}

int EmulatedCamera::Reenumerations() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return reenumerations_;
}

int EmulatedCamera::Claims() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return claims_;
}

int EmulatedCamera::RefusedClaims() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return refusedClaims_;
}

void EmulatedCamera::OnNeedsService(std::function<void()> wake) {
  // Behind the gate: once this returns, no call of the former one is under way.
  const std::lock_guard<std::mutex> passing(gate_->mutex);
  const std::lock_guard<std::mutex> lock(mutex_);
  wake_ = std::move(wake);
}

int EmulatedCamera::HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* gate) {
  Gate& way = **static_cast<std::shared_ptr<Gate>*>(gate);
  const std::lock_guard<std::mutex> passing(way.mutex);
  EmulatedCamera* camera = way.camera;
  if (camera == nullptr) {
    Complete(client, ENODEV);
    return TRUE;
  }
  bool handled = false;
  std::function<void()> wake;
  {
    const std::lock_guard<std::mutex> lock(camera->mutex_);
    handled = camera->Handle(client);
    if (camera->restartWanted_ || camera->unplugWanted_) wake = camera->wake_;
  }
  if (wake) wake();
  return handled ? TRUE : FALSE;
}

// A file closed without releasing its claim: the kernel releases it then.
void EmulatedCamera::ClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* gate) {
  Gate& way = **static_cast<std::shared_ptr<Gate>*>(gate);
  const std::lock_guard<std::mutex> passing(way.mutex);
  if (way.camera == nullptr) return;
  const std::lock_guard<std::mutex> lock(way.camera->mutex_);
  if (way.camera->claimedBy_ == client) way.camera->claimedBy_ = nullptr;
}

void EmulatedCamera::Claim(UMockdevIoctlClient* client) {
  if (faults_.claimedElsewhere || (claimedBy_ != nullptr && claimedBy_ != client)) {
    ++refusedClaims_;
    Complete(client, EBUSY);
    return;
  }
  if (claimedBy_ == nullptr) ++claims_;
  claimedBy_ = client;
  Complete(client, 0);
}

bool EmulatedCamera::Handle(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  // A node of an earlier plug, or a camera pulled out: the kernel says the
  // device is gone.
  if (!plugged_ || pulled_ || Node() != umockdev_ioctl_client_get_devnode(client)) {
    // Transfers that ended with the device are still handed back.
    if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
      Reap(client, ENODEV);
      return true;
    }
    if (request == USBDEVFS_IOCTL && pulled_) LetGo();
    Complete(client, ENODEV);
    return true;
  }
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* capabilities = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
      std::memcpy(capabilities->data, &kCapabilities, sizeof kCapabilities);
      g_object_unref(capabilities);
      Complete(client, 0);
      return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
      Claim(client);
      return true;
    case USBDEVFS_RELEASEINTERFACE:
      if (claimedBy_ != client) {
        Complete(client, EINVAL);
        return true;
      }
      claimedBy_ = nullptr;
      Complete(client, 0);
      return true;
    case USBDEVFS_IOCTL:
      LetGo();
      Complete(client, ENODATA);  // no kernel driver to give the interface back to
      return true;
    case USBDEVFS_GETDRIVER:
      Complete(client, ENODATA);  // no kernel driver is bound
      return true;
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
    case USBDEVFS_RESETEP:
      Complete(client, 0);
      return true;
    case USBDEVFS_SUBMITURB: {
      UMockdevIoctlData* urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
      Submit(client, urb);
      return true;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      Reap(client, EAGAIN);
      return true;
    case USBDEVFS_DISCARDURB:
      Discard(client);
      return true;
    default:
      return false;
  }
}

// libusb hands a released interface back to the kernel's driver as the last
// thing before it closes the node; a camera pulled out in the middle of a
// transfer leaves the testbed only then, so that the program sees the failed
// transfer on the node it used.
void EmulatedCamera::LetGo() {
  if (pulled_ && plugged_) unplugWanted_ = true;
}

// The firmware is in: the camera restarts at once, as a real one does, while
// the program may still hold it.
void EmulatedCamera::RestartIfFirmwareArrived() {
  if (model_.TakeRestart()) restartWanted_ = true;
}

void EmulatedCamera::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* urbData) {
  usbdevfs_urb* urb = UrbOf(urbData);
  const std::size_t length = urb->buffer_length > 0 ? static_cast<std::size_t>(urb->buffer_length) : 0;
  UMockdevIoctlData* buffer =
      umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer), length, nullptr);
  std::uint8_t* bytes = buffer->data;
  g_object_unref(buffer);  // the URB keeps it
  urb->status = 0;
  urb->actual_length = 0;
  bool stall = false;
  if (urb->type == USBDEVFS_URB_TYPE_CONTROL && length >= kSetupSize) {
    Control(bytes, urb->status, urb->actual_length);
  } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == kBulkOut) {
    bulkOutSizes_.push_back(static_cast<std::uint32_t>(length));
    ++bulkOuts_;
    if (bulkOuts_ == faults_.unplugOnWrite) {
      PullOut(urb->status, Format("pulled out during bulk-out %u", bulkOuts_));
    } else {
      const bool cut = bulkOuts_ == faults_.shortWrite && length > 0;
      if (cut) fired_.push_back(Format("bulk-out %u short", bulkOuts_));
      urb->actual_length = static_cast<int>(model_.AcceptBulkOut(std::span(bytes, cut ? length - 1 : length)));
      RestartIfFirmwareArrived();
    }
  } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == kBulkIn) {
    ++bulkIns_;
    stall = bulkIns_ == faults_.stallRead;
    if (stall) {
      fired_.push_back(Format("bulk-in %u stalled", bulkIns_));
    } else if (bulkIns_ == faults_.unplugOnRead) {
      PullOut(urb->status, Format("pulled out during bulk-in %u", bulkIns_));
    } else {
      urb->actual_length = static_cast<int>(model_.ProvideBulkIn(std::span(bytes, length)));
    }
  } else {
    g_object_unref(urbData);
    Complete(client, EINVAL);
    return;
  }
  if (stall) {
    stalled_.push_back(Queued{client, urbData});
    stalledChanged_.notify_all();
  } else {
    reapable_.push_back(Queued{client, urbData});
  }
  Complete(client, 0);
}

void EmulatedCamera::Control(std::uint8_t* setup, std::int32_t& status, std::int32_t& actual) {
  const std::span<const std::uint8_t> packet(setup, kSetupSize);
  sim::SimRequest request;
  const std::uint8_t requestType = packet[0];
  request.bRequest = packet[1];
  request.wValue = GetLe16(packet, 2);
  request.wIndex = GetLe16(packet, 4);
  request.wLength = GetLe16(packet, 6);
  request.direction = (requestType & 0x80u) != 0 ? 1 : 0;
  std::uint8_t* data = setup + kSetupSize;
  if (AnswerStringRequest(setup, data, status, actual)) return;
  if (request.direction == 0) request.data.assign(data, data + request.wLength);
  requests_.push_back(request);
  const std::size_t number = requests_.size();
  if (number == faults_.unplugOnRequest) {
    PullOut(status, Format("pulled out during request %zu", number));
    return;
  }
  if (faults_.stallRequest == request.bRequest || number == faults_.stallRequestAt) {
    fired_.push_back(Format("request %zu stalled", number));
    status = -EPIPE;
    return;
  }
  // Vendor requests to the device are all the camera knows.
  constexpr std::uint8_t kVendorDeviceTypeBits = 0x7F;
  std::vector<std::uint8_t> answer;
  if ((requestType & kVendorDeviceTypeBits) != 0x40 || !model_.HandleRequest(request, answer)) {
    status = -EPIPE;
    return;
  }
  if (request.direction == 1) {
    std::memcpy(data, answer.data(), std::min<std::size_t>(answer.size(), request.wLength));
    requests_.back().data = answer;
  }
  actual = request.wLength;
  if (request.direction == 1 && faults_.shortAnswers && actual > 0) --actual;
}

bool EmulatedCamera::AnswerStringRequest(const std::uint8_t* setup, std::uint8_t* data, std::int32_t& status,
                                         std::int32_t& actual) {
  constexpr std::uint8_t kStandardDeviceIn = 0x80;
  constexpr std::uint8_t kGetDescriptor = 6;
  constexpr std::uint8_t kStringType = 3;
  const std::span<const std::uint8_t> packet(setup, kSetupSize);
  if (packet[0] != kStandardDeviceIn || packet[1] != kGetDescriptor || packet[3] != kStringType) return false;
  const std::uint8_t index = packet[2];
  std::vector<std::uint8_t> descriptor{0, kStringType};
  if (index == 0) {
    descriptor.insert(descriptor.end(), {kLanguage & 0xFF, kLanguage >> 8});
  } else if (index == kSerialIndex && !serial_.empty() && GetLe16(packet, 4) == kLanguage) {
    ++serialReads_;
    serialRead_.notify_all();
    for (const char16_t unit : serial_) {
      descriptor.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      descriptor.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
  } else {
    status = -EPIPE;
    return true;
  }
  descriptor[0] = static_cast<std::uint8_t>(descriptor.size());
  const std::size_t moved = std::min<std::size_t>(descriptor.size(), GetLe16(packet, 6));
  std::memcpy(data, descriptor.data(), moved);
  actual = static_cast<std::int32_t>(moved);
  return true;
}

void EmulatedCamera::PullOut(std::int32_t& status, std::string fired) {
  // What the kernel reports for transfers of a device that went away.
  status = -ESHUTDOWN;
  pulled_ = true;
  fired_.push_back(std::move(fired));
}

void EmulatedCamera::Reap(UMockdevIoctlClient* client, int nothingLeft) {
  for (auto it = reapable_.begin(); it != reapable_.end(); ++it) {
    if (it->client != client) continue;
    UMockdevIoctlData* urb = it->urb;
    reapable_.erase(it);
    UMockdevIoctlData* pointer =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, urb);
    g_object_unref(pointer);
    g_object_unref(urb);
    Complete(client, 0);
    return;
  }
  Complete(client, nothingLeft);
}

void EmulatedCamera::Discard(UMockdevIoctlClient* client) {
  void* address = nullptr;
  std::memcpy(&address, umockdev_ioctl_client_get_arg(client)->data, sizeof address);
  for (auto it = stalled_.begin(); it != stalled_.end(); ++it) {
    if (it->client != client || it->urb->client_addr != reinterpret_cast<gulong>(address)) continue;
    UrbOf(it->urb)->status = -ENOENT;
    reapable_.push_back(*it);
    stalled_.erase(it);
    Complete(client, 0);
    return;
  }
  Complete(client, EINVAL);
}

}  // namespace bb::test
