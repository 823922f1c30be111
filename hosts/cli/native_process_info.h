#pragma once

#if defined(_WIN32)
#include "platform/win32/win_process_info.h"
namespace bb {
using NativeProcessInfo = WinProcessInfo;
}
#else
#include "platform/posix/posix_process_info.h"
namespace bb {
using NativeProcessInfo = PosixProcessInfo;
}
#endif
