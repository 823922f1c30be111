#include "platform/libusb/usb_camera_list.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <tuple>

#include "util/format.h"

namespace bb {

namespace {

// USB allows at most seven tiers, so at most seven ports from the root.
constexpr int kMaxPortDepth = 7;

struct Sorted {
  UsbCameraEntry entry;
  std::uint8_t bus = 0;
  std::vector<std::uint8_t> ports;
  std::uint8_t address = 0;
};

Sorted Describe(libusb_device* device) {
  Sorted sorted;
  sorted.bus = libusb_get_bus_number(device);
  sorted.address = libusb_get_device_address(device);
  std::array<std::uint8_t, kMaxPortDepth> ports{};
  const int depth = libusb_get_port_numbers(device, ports.data(), kMaxPortDepth);
  std::string where = Format("%u", sorted.bus);
  for (int i = 0; i < depth; ++i) {
    sorted.ports.push_back(ports[static_cast<std::size_t>(i)]);
    where += Format(i == 0 ? "-%u" : ".%u", ports[static_cast<std::size_t>(i)]);
  }
  sorted.entry.device = device;
  sorted.entry.location = depth > 0 ? where : std::string();
  sorted.entry.path = Format("usb:%s@%u", where.c_str(), sorted.address);
  return sorted;
}

}  // namespace

bool HasConfiguredId(libusb_device* device, const std::vector<UsbId>& ids) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) return false;
  const UsbId id{descriptor.idVendor, descriptor.idProduct};
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

UsbCameraEntry DescribeCamera(libusb_device* device) { return Describe(device).entry; }

UsbCameraList::UsbCameraList(libusb_context* context, const std::vector<UsbId>& ids) {
  if (context == nullptr) return;
  libusb_device** devices = nullptr;
  const ssize_t count = libusb_get_device_list(context, &devices);
  if (count < 0) return;
  std::vector<Sorted> found;
  for (ssize_t i = 0; i < count; ++i) {
    if (HasConfiguredId(devices[i], ids)) found.push_back(Describe(libusb_ref_device(devices[i])));
  }
  libusb_free_device_list(devices, 1);
  std::sort(found.begin(), found.end(), [](const Sorted& a, const Sorted& b) {
    return std::tie(a.bus, a.ports, a.address) < std::tie(b.bus, b.ports, b.address);
  });
  for (Sorted& sorted : found) entries_.push_back(std::move(sorted.entry));
}

UsbCameraList::~UsbCameraList() {
  for (const UsbCameraEntry& entry : entries_) libusb_unref_device(entry.device);
}

const UsbCameraEntry* UsbCameraList::Find(const std::string& path) const {
  for (const UsbCameraEntry& entry : entries_) {
    if (entry.path == path) return &entry;
  }
  return nullptr;
}

}  // namespace bb
