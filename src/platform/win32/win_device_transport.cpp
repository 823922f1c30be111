#include "platform/win32/win_device_transport.h"

#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cwchar>
#include <new>
#include <string_view>
#include <vector>

#include "platform/win32/instance_serial.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win_guid.h"

namespace bb {

struct WinDeviceTransport::InterfaceSet {
  HDEVINFO info;
  GUID interfaceClass;
  // The detail of an index is read through the record its enumeration gave.
  std::map<std::uint32_t, SP_DEVICE_INTERFACE_DATA> enumerated;
};

namespace {

// SetupAPI insists that the detail record's size field holds the size of its
// fixed part as this target's SDK lays it out: 8 bytes on 64-bit, 6 on 32-bit.
constexpr DWORD kDetailFixedSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
static_assert(kDetailFixedSize == (sizeof(void*) == 8 ? 8 : 6));

constexpr std::size_t kDevicePathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
// No path longer than the longest one Windows can open is worth allocating for.
constexpr DWORD kMaxDetailSize = kDevicePathOffset + 32767 * sizeof(WCHAR);

HANDLE ToWinHandle(DeviceTransport::Handle handle) {
  return handle == DeviceTransport::kInvalidHandle ? INVALID_HANDLE_VALUE
                                                   : reinterpret_cast<HANDLE>(handle);
}

DeviceTransport::Handle FromWinHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? DeviceTransport::kInvalidHandle
                                        : reinterpret_cast<DeviceTransport::Handle>(handle);
}

// A buffer larger than one call can move is moved in part; the count tells.
DWORD CallSize(std::size_t size) {
  return static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
}

}  // namespace

WinDeviceTransport::WinDeviceTransport() = default;

WinDeviceTransport::~WinDeviceTransport() {
  for (const auto& [handle, set] : sets_) SetupDiDestroyDeviceInfoList(set->info);
}

DeviceTransport::SetHandle WinDeviceTransport::OpenInterfaceSet(const Guid& interfaceClass) {
  const GUID windowsClass = ToWinGuid(interfaceClass);
  const HDEVINFO info =
      SetupDiGetClassDevsW(&windowsClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (info == INVALID_HANDLE_VALUE) return kNoSet;
  const SetHandle set = reinterpret_cast<SetHandle>(info);
  sets_[set] = std::make_unique<InterfaceSet>(InterfaceSet{info, windowsClass, {}});
  return set;
}

DeviceTransport::EnumResult WinDeviceTransport::EnumerateInterface(SetHandle set,
                                                                   std::uint32_t index) {
  const auto found = sets_.find(set);
  if (found == sets_.end()) return EnumResult::kOtherError;
  InterfaceSet& entry = *found->second;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof(data);
  if (!SetupDiEnumDeviceInterfaces(entry.info, nullptr, &entry.interfaceClass, index, &data)) {
    return GetLastError() == ERROR_NO_MORE_ITEMS ? EnumResult::kNoMoreItems
                                                 : EnumResult::kOtherError;
  }
  entry.enumerated[index] = data;
  return EnumResult::kFound;
}

bool WinDeviceTransport::ReadInterfacePath(SetHandle set, std::uint32_t index,
                                           std::string& path) {
  const auto found = sets_.find(set);
  if (found == sets_.end()) return false;
  InterfaceSet& entry = *found->second;
  const auto enumerated = entry.enumerated.find(index);
  if (enumerated == entry.enumerated.end()) return false;
  SP_DEVICE_INTERFACE_DATA& data = enumerated->second;

  // The first call only reports the size the detail needs.
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailW(entry.info, &data, nullptr, 0, &required, nullptr);
  if (required < kDetailFixedSize || required > kMaxDetailSize) return false;
  std::unique_ptr<std::byte[]> buffer(new (std::nothrow) std::byte[required]);
  if (!buffer) return false;
  auto* detail = new (buffer.get()) SP_DEVICE_INTERFACE_DETAIL_DATA_W{};
  detail->cbSize = kDetailFixedSize;
  if (!SetupDiGetDeviceInterfaceDetailW(entry.info, &data, detail, required, nullptr, nullptr)) {
    return false;
  }
  // Never read past the buffer, even for a path that came back unterminated.
  const auto* wide = reinterpret_cast<const wchar_t*>(buffer.get() + kDevicePathOffset);
  const std::size_t capacity = (required - kDevicePathOffset) / sizeof(WCHAR);
  const std::wstring_view widePath(wide, wcsnlen(wide, capacity));
  if (widePath.empty()) return false;
  path = ToUtf8(widePath);
  return true;
}

namespace {

// The first string of a registry property of the device (a multi-string's
// first entry); empty when the device has none.
std::wstring DeviceProperty(HDEVINFO info, SP_DEVINFO_DATA& device, DWORD property) {
  DWORD type = 0;
  DWORD required = 0;
  SetupDiGetDeviceRegistryPropertyW(info, &device, property, &type, nullptr, 0, &required);
  if (required == 0 || required > 65536 || (type != REG_SZ && type != REG_MULTI_SZ)) return {};
  std::vector<wchar_t> text(required / sizeof(wchar_t) + 1, L'\0');
  if (!SetupDiGetDeviceRegistryPropertyW(info, &device, property, &type,
                                         reinterpret_cast<BYTE*>(text.data()), required, nullptr)) {
    return {};
  }
  return std::wstring(text.data(), wcsnlen(text.data(), text.size()));
}

}  // namespace

bool WinDeviceTransport::ReadInterfaceLocation(SetHandle set, std::uint32_t index,
                                               std::string& location) {
  const auto found = sets_.find(set);
  if (found == sets_.end()) return false;
  InterfaceSet& entry = *found->second;
  const auto enumerated = entry.enumerated.find(index);
  if (enumerated == entry.enumerated.end()) return false;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof(device);
  // Asking for no detail still names the device behind the interface.
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailW(entry.info, &enumerated->second, nullptr, 0, &required, &device);
  if (device.DevInst == 0) return false;
  std::wstring text = DeviceProperty(entry.info, device, SPDRP_LOCATION_PATHS);
  if (text.empty()) text = DeviceProperty(entry.info, device, SPDRP_LOCATION_INFORMATION);
  if (text.empty()) return false;
  location = ToUtf8(text);
  return true;
}

bool WinDeviceTransport::ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) {
  const auto found = sets_.find(set);
  if (found == sets_.end()) return false;
  InterfaceSet& entry = *found->second;
  const auto enumerated = entry.enumerated.find(index);
  if (enumerated == entry.enumerated.end()) return false;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof(device);
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailW(entry.info, &enumerated->second, nullptr, 0, &required, &device);
  if (device.DevInst == 0) return false;
  // An instance id is at most 200 characters.
  std::array<wchar_t, MAX_DEVICE_ID_LEN + 1> id{};
  if (!SetupDiGetDeviceInstanceIdW(entry.info, &device, id.data(), static_cast<DWORD>(id.size()), nullptr)) {
    return false;
  }
  const std::wstring_view instanceId(id.data(), wcsnlen(id.data(), id.size()));
  const std::optional<std::string> own = SerialOfInstanceId(ToUtf8(instanceId));
  if (!own) return false;
  serial = *own;
  return true;
}

void WinDeviceTransport::CloseInterfaceSet(SetHandle set) {
  const auto found = sets_.find(set);
  if (found == sets_.end()) return;
  SetupDiDestroyDeviceInfoList(found->second->info);
  sets_.erase(found);
}

DeviceTransport::Handle WinDeviceTransport::Open(const std::string& path) {
  // The API stops at the first NUL; a path with one inside would open another file.
  if (path.find('\0') != std::string::npos) return kInvalidHandle;
  const std::wstring widePath = ToUtf16(path);
  return FromWinHandle(CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
}

bool WinDeviceTransport::IoControl(Handle handle, std::uint32_t code,
                                   std::span<std::uint8_t> block) {
  if (handle == kInvalidHandle || block.size() > MAXDWORD) return false;
  const DWORD size = static_cast<DWORD>(block.size());
  // A synchronous call must be given a place for the count, which nobody reads.
  DWORD returned = 0;
  return DeviceIoControl(ToWinHandle(handle), code, block.data(), size, block.data(), size,
                         &returned, nullptr) != FALSE;
}

bool WinDeviceTransport::Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) {
  done = 0;
  if (handle == kInvalidHandle) return false;
  DWORD moved = 0;
  const BOOL ok =
      ReadFile(ToWinHandle(handle), buffer.data(), CallSize(buffer.size()), &moved, nullptr);
  done = moved;
  return ok != FALSE;
}

bool WinDeviceTransport::Write(Handle handle, std::span<const std::uint8_t> data,
                               std::uint32_t& done) {
  done = 0;
  if (handle == kInvalidHandle) return false;
  DWORD moved = 0;
  const BOOL ok =
      WriteFile(ToWinHandle(handle), data.data(), CallSize(data.size()), &moved, nullptr);
  done = moved;
  return ok != FALSE;
}

void WinDeviceTransport::CancelPending(Handle handle) {
  // Ends the synchronous transfer that another thread is blocked in.
  if (handle != kInvalidHandle) CancelIoEx(ToWinHandle(handle), nullptr);
}

void WinDeviceTransport::Close(Handle handle) {
  // The invalid value is also the current process's pseudo handle: never pass it on.
  if (handle != kInvalidHandle) CloseHandle(ToWinHandle(handle));
}

}  // namespace bb
