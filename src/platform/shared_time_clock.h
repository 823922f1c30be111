#pragma once

#include "platform/clock.h"
#include "platform/shared_time.h"

namespace bb {

// One session's pauses on the station's shared time.
class SharedTimeClock final : public Clock {
 public:
  explicit SharedTimeClock(SharedTime& time) : time_(time) {}

  void SleepMs(std::uint32_t ms) override { time_.SleepUntil(time_.NowMs() + ms); }
  std::int64_t UtcNowMs() override { return time_.UtcNowMs(); }

 private:
  SharedTime& time_;
};

}  // namespace bb
