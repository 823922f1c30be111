#pragma once

#include <cstdint>
#include <string>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace bb::test {

// umockdev's testbed: a made-up sysfs and /dev in which libusb, in this
// process and in the programs it starts, sees the USB devices that tests add.
// Only works in a process started by umockdev-wrapper.
class UsbTestbed {
 public:
  static constexpr unsigned kBus = 1;

  UsbTestbed();
  ~UsbTestbed();
  UsbTestbed(const UsbTestbed&) = delete;
  UsbTestbed& operator=(const UsbTestbed&) = delete;

  // True when this process runs under umockdev-wrapper.
  static bool Available();

  UMockdevTestbed* Get() const { return testbed_; }
  std::string RootDir() const { return root_; }
  // Device addresses are handed out once each, as a bus does.
  unsigned NextAddress() { return nextAddress_++; }
  // The sysfs folder of a device named like "1-2" or "1-1.3": under its hub
  // for a longer port chain.
  static std::string DevicePath(const std::string& sysName);

  // A hub, so that the devices behind it have a port chain.
  void AddHub(const std::string& sysName);
  // Lets every user see the testbed, for a program that runs as another user.
  void OpenToAll() const;

 private:
  UMockdevTestbed* testbed_ = nullptr;
  std::string root_;
  unsigned nextAddress_ = 2;
};

// The sysfs and udev lines that umockdev reads for one device.
std::string DeviceRecord(const std::string& sysName, unsigned address, const std::string& descriptorsHex);

}  // namespace bb::test
