#pragma once

#include <windows.h>

#include <algorithm>

#include "platform/guid.h"

namespace bb {

// The core keeps GUIDs free of the Windows headers; the APIs want their own type.
inline GUID ToWinGuid(const Guid& guid) {
  GUID windowsGuid{guid.data1, guid.data2, guid.data3, {}};
  std::copy(guid.data4.begin(), guid.data4.end(), windowsGuid.Data4);
  return windowsGuid;
}

}  // namespace bb
