#include "session_time.h"

#include <chrono>
#include <thread>

#include "platform/std/system_clock.h"
#include "platform/std/thread_timer_service.h"
#include "platform/virtual/manual_timer_service.h"

#if defined(_WIN32)
#include "platform/win32/win_clock.h"
#include "platform/win32/win_timer_service.h"
#endif

namespace bb::cli {

namespace {

#if defined(_WIN32)
using NativeClock = WinClock;
using NativeTimerService = WinTimerService;
#else
using NativeClock = SystemClock;
using NativeTimerService = ThreadTimerService;
#endif

}  // namespace

SessionTime::SessionTime(const Options& options) {
  if (!options.virtualClock) {
    clock_ = std::make_unique<NativeClock>();
    timers_ = std::make_unique<NativeTimerService>();
    return;
  }
  auto clock = std::make_unique<VirtualClock>();
  // Simulated time, but reports still say when the run took place.
  clock->SetUtcStart(SystemClock().UtcNowMs());
  // Only the simulated camera lets its time pass on the virtual clock; a
  // stalled read of any other camera stalls for real, and its watchdog must
  // fire for real.
  if (options.simulate) {
    timers_ = std::make_unique<ManualTimerService>(*clock);
  } else {
    timers_ = std::make_unique<NativeTimerService>();
  }
  virtual_ = clock.get();
  clock_ = std::move(clock);
}

CameraWorld::CameraTime SessionTime::CameraTime() {
  if (virtual_ == nullptr) {
    return [](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  }
  VirtualClock* clock = virtual_;
  return [clock](std::uint32_t ms) { clock->Advance(ms); };
}

}  // namespace bb::cli
