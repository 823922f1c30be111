#include "platform/win32/win_clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace bb {

void WinClock::SleepMs(std::uint32_t ms) {
  const bool fine = timeBeginPeriod(1) == TIMERR_NOERROR;
  Sleep(ms);
  if (fine) timeEndPeriod(1);
}

}  // namespace bb
