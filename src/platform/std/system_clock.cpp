#include "platform/std/system_clock.h"

#include <chrono>
#include <thread>

namespace bb {

void SystemClock::SleepMs(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace bb
