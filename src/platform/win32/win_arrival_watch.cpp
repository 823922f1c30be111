#include "platform/win32/win_arrival_watch.h"

#include <dbt.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string_view>

#include "platform/device_transport.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win_guid.h"

namespace bb {

ArrivalWatch::Registration WinArrivalWatch::Register() {
  // The whole record goes to the platform, reserved field and name included, so
  // everything but the three fields below must be zero.
  DEV_BROADCAST_DEVICEINTERFACE_W filter;
  std::memset(&filter, 0, sizeof(filter));
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = ToWinGuid(CameraInterfaceClass);
  const HDEVNOTIFY notify =
      RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  return notify == nullptr ? kNone : reinterpret_cast<Registration>(notify);
}

void WinArrivalWatch::Unregister(Registration registration) {
  if (registration != kNone) {
    UnregisterDeviceNotification(reinterpret_cast<HDEVNOTIFY>(registration));
  }
}

namespace {

constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
// No interface path is longer than the longest path Windows opens; a size
// beyond that is not a record to read.
constexpr std::size_t kMaxRecordSize = kNameOffset + 32768 * sizeof(wchar_t);

}  // namespace

DeviceArrival DescribeArrival(LPARAM record) {
  DeviceArrival arrival;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(record);
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return arrival;
  if (header->dbch_size < kNameOffset || header->dbch_size > kMaxRecordSize) return arrival;
  const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(record);
  if (!IsEqualGUID(device->dbcc_classguid, ToWinGuid(CameraInterfaceClass))) return arrival;
  arrival.cameraInterface = true;
  // The name runs to its terminator, but never past the size the record gives.
  const std::size_t capacity = (header->dbch_size - kNameOffset) / sizeof(wchar_t);
  const wchar_t* name = device->dbcc_name;
  arrival.interfacePath = ToUtf8(std::wstring_view(name, wcsnlen(name, capacity)));
  return arrival;
}

std::vector<DWORD> CameraArrivalRecord(const std::string& interfacePath) {
  const std::wstring name = ToUtf16(interfacePath);
  const std::size_t size = kNameOffset + (name.size() + 1) * sizeof(wchar_t);
  std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
  auto* device = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
  device->dbcc_size = static_cast<DWORD>(size);
  device->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  device->dbcc_classguid = ToWinGuid(CameraInterfaceClass);
  std::memcpy(reinterpret_cast<std::byte*>(buffer.data()) + kNameOffset, name.c_str(),
              (name.size() + 1) * sizeof(wchar_t));
  return buffer;
}

}  // namespace bb
