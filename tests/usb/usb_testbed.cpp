#include "usb/usb_testbed.h"

#include <dlfcn.h>
#include <umockdev.h>

#include <filesystem>

#include "util/format.h"

namespace bb::test {

namespace {

// A hub's descriptors: device class 9, one interface with its status endpoint.
constexpr const char* kHubDescriptors =
    "12010002090001406b1d020001010000"
    "0001"
    "09021900010100e000"
    "090400000109000000"
    "0705810304000c";

}  // namespace

UsbTestbed::UsbTestbed() {
  testbed_ = umockdev_testbed_new();
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  root_ = root;
  g_free(root);
}

UsbTestbed::~UsbTestbed() { g_object_unref(testbed_); }

bool UsbTestbed::Available() {
  // umockdev-wrapper preloads the library that sends the process's sysfs, /dev
  // and ioctl calls into the testbed; without it libusb would see the real bus.
  return dlopen("libumockdev-preload.so.0", RTLD_LAZY | RTLD_NOLOAD) != nullptr;
}

std::string UsbTestbed::DevicePath(const std::string& sysName) {
  std::string path = "/devices/pci0000:00/0000:00:14.0/usb1";
  for (std::size_t dot = sysName.find('.'); dot != std::string::npos; dot = sysName.find('.', dot + 1)) {
    path.append("/").append(sysName, 0, dot);
  }
  return path.append("/").append(sysName);
}

std::string DeviceRecord(const std::string& sysName, unsigned address, const std::string& descriptorsHex) {
  return Format(
      "P: %s\nN: bus/usb/%03u/%03u\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
      "E: DEVNAME=/dev/bus/usb/%03u/%03u\nE: BUSNUM=%03u\nE: DEVNUM=%03u\n"
      "A: busnum=%u\\n\nA: devnum=%u\\n\nA: bConfigurationValue=1\\n\nA: speed=480\\n\n"
      "H: descriptors=%s\n",
      UsbTestbed::DevicePath(sysName).c_str(), UsbTestbed::kBus, address, UsbTestbed::kBus, address,
      UsbTestbed::kBus, address, UsbTestbed::kBus, address, descriptorsHex.c_str());
}

void UsbTestbed::AddHub(const std::string& sysName) {
  umockdev_testbed_add_from_string(testbed_, DeviceRecord(sysName, NextAddress(), kHubDescriptors).c_str(),
                                   nullptr);
}

void UsbTestbed::OpenToAll() const {
  namespace fs = std::filesystem;
  const auto everyone = fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all;
  std::error_code ignored;
  fs::permissions(root_, everyone, fs::perm_options::add, ignored);
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_, ignored)) {
    if (entry.is_symlink(ignored)) continue;
    fs::permissions(entry.path(), everyone, fs::perm_options::add, ignored);
  }
}

}  // namespace bb::test
