#pragma once

#include <string>
#include <vector>

#include "platform/usb_id.h"

struct libusb_context;
struct libusb_device;

namespace bb {

// A present device with one of the configured ids. Its interface path names
// the bus, the port chain and the device address ("usb:1-2.3@17"), so a camera
// that re-enumerates comes back under a new path; its location ("1-2.3") stays.
struct UsbCameraEntry {
  libusb_device* device = nullptr;
  std::string path;
  std::string location;  // empty when libusb cannot tell the ports
};

// True when the device has one of the ids.
bool HasConfiguredId(libusb_device* device, const std::vector<UsbId>& ids);
// The entry of a device, without taking a reference on it.
UsbCameraEntry DescribeCamera(libusb_device* device);

// The cameras present when the list was taken, in bus and port order. Holds a
// reference on each device for as long as the list lives.
class UsbCameraList {
 public:
  UsbCameraList(libusb_context* context, const std::vector<UsbId>& ids);
  ~UsbCameraList();
  UsbCameraList(UsbCameraList&& other) noexcept : entries_(std::move(other.entries_)) { other.entries_.clear(); }
  UsbCameraList& operator=(UsbCameraList&&) = delete;
  UsbCameraList(const UsbCameraList&) = delete;
  UsbCameraList& operator=(const UsbCameraList&) = delete;

  const std::vector<UsbCameraEntry>& Entries() const { return entries_; }
  // The camera whose interface path is `path`, or nullptr.
  const UsbCameraEntry* Find(const std::string& path) const;

 private:
  std::vector<UsbCameraEntry> entries_;
};

}  // namespace bb
