#include "platform/win32/win_arrival_watch.h"

#include <dbt.h>

#include <cstring>

#include "platform/device_transport.h"
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

}  // namespace bb
