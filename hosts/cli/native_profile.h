#pragma once

#if defined(_WIN32)
#include "platform/win32/win_profile.h"
namespace bb {
using NativeProfile = WinProfile;
}
#else
#include "platform/std/ini_profile.h"
namespace bb {
using NativeProfile = IniProfile;
}
#endif
