#include "device/usb_pipes.h"

#include <new>

#include "device/device_serial.h"

namespace bb {

namespace {

// A valid interface set always ends with "no more items"; a broken one might
// never do, so a long run of other failures ends the search too.
constexpr std::uint32_t kMaxFailedIndexesInARow = 256;

}  // namespace

UsbPipes::UsbPipes(DeviceTransport& transport, CameraBinding* binding)
    : transport_(transport), binding_(binding), pipeNames_{"PIPE00", "PIPE00", "PIPE01", "PIPE02"} {}

DeviceTransport::Handle UsbPipes::OpenPipe(int slot) {
  const DeviceTransport::Handle presence = FindDevice(CameraInterfaceClass, devicePath_);
  if (presence == DeviceTransport::kInvalidHandle) return DeviceTransport::kInvalidHandle;
  transport_.Close(presence);

  const std::string& name = pipeNames_.at(static_cast<std::size_t>(slot));
  // A path that leaves no room for the pipe name would name some other file.
  if (devicePath_.size() + 1 + name.size() > kDevicePathCapacity) {
    return DeviceTransport::kInvalidHandle;
  }
  devicePath_ += '\\';
  devicePath_ += name;
  return transport_.Open(devicePath_);
}

DeviceTransport::Handle UsbPipes::FindDevice(const Guid& interfaceClass, std::string& path) {
  const DeviceTransport::SetHandle set = transport_.OpenInterfaceSet(interfaceClass);
  if (set == DeviceTransport::kNoSet) return DeviceTransport::kInvalidHandle;

  const std::string* bound = binding_ != nullptr ? binding_->Location() : nullptr;
  DeviceTransport::Handle found = DeviceTransport::kInvalidHandle;
  std::uint32_t foundIndex = 0;
  std::uint32_t failedInARow = 0;
  for (std::uint32_t index = 0; failedInARow < kMaxFailedIndexesInARow; ++index) {
    const DeviceTransport::EnumResult result = transport_.EnumerateInterface(set, index);
    if (result == DeviceTransport::EnumResult::kNoMoreItems) break;
    if (result == DeviceTransport::EnumResult::kOtherError) {
      ++failedInARow;
      continue;
    }
    failedInARow = 0;
    // Another camera is not even looked at: it must not replace the bound one.
    if (bound != nullptr) {
      std::string location;
      if (!transport_.ReadInterfaceLocation(set, index, location) || location != *bound) continue;
    }
    // A later interface replaces the earlier one, which must not stay open.
    if (found != DeviceTransport::kInvalidHandle) {
      transport_.Close(found);
      found = DeviceTransport::kInvalidHandle;
    }
    std::string interfacePath;
    if (!transport_.ReadInterfacePath(set, index, interfacePath)) continue;
    if (interfacePath.size() > kDevicePathCapacity) continue;
    path = interfacePath;
    found = transport_.Open(path);
    foundIndex = index;
  }
  // Only a run's first search learns where its camera is; a bound search knows.
  if (found != DeviceTransport::kInvalidHandle && binding_ != nullptr && binding_->AwaitsCamera()) {
    std::string location;
    if (bound != nullptr) location = *bound;
    else if (!transport_.ReadInterfaceLocation(set, foundIndex, location)) location.clear();
    std::string serial;
    if (!transport_.ReadInterfaceSerial(set, foundIndex, serial)) serial.clear();
    binding_->Found(location, path, BoundedSerial(serial));
  }
  transport_.CloseInterfaceSet(set);
  return found;
}

std::unique_ptr<UsbPipes> NewUsbPipes(DeviceTransport& transport, CameraBinding* binding) {
  return std::unique_ptr<UsbPipes>(new (std::nothrow) UsbPipes(transport, binding));
}

}  // namespace bb
