#pragma once

// The profile implementation that the platform's program uses: ours on POSIX,
// the Windows functions on Windows.
#if defined(_WIN32)
#include "platform/win32/win_profile.h"
namespace bb::test {
using NativeProfile = WinProfile;
}
#else
#include "platform/std/ini_profile.h"
namespace bb::test {
using NativeProfile = IniProfile;
}
#endif
