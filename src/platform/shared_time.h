#pragma once

#include <cstdint>
#include <functional>

namespace bb {

// The one time of a station: every session's pauses and waits, the slots'
// grace after an unplug and a simulated line's operator go by it. Simulated,
// it moves only while every thread that takes part waits, so a whole shift is
// the same on any machine and its waits take no real time; real, it may run
// faster than the wall clock for demonstrations.
//
// A thread that waits on the time takes part in it: it joins before it first
// waits (its starter joins for it, so that no time passes before it runs) and
// leaves when it is done. Every call is safe from any thread.
class SharedTime {
 public:
  using ActionId = std::uint64_t;
  static constexpr ActionId kNoAction = 0;

  virtual ~SharedTime() = default;

  // Milliseconds since the time began.
  virtual std::uint64_t NowMs() = 0;
  // The time of day that goes with NowMs, for the records of runs.
  virtual std::int64_t UtcNowMs() = 0;

  // Waits until NowMs() reaches `dueMs`, or `ready` holds: it is asked at
  // once and again after every Notify. True when `ready` ended the wait.
  // `ready` must not call back into the time.
  virtual bool WaitUntil(std::uint64_t dueMs, const std::function<bool()>& ready) = 0;
  bool SleepUntil(std::uint64_t dueMs) { return WaitUntil(dueMs, {}); }
  // Something changed that a waiter's `ready` may be waiting for. Not to be
  // called while holding a lock that some `ready` takes.
  virtual void Notify() = 0;

  // Runs `action` once the time reaches `dueMs`, on a thread of the time's
  // choosing; it must not wait on the time.
  virtual ActionId At(std::uint64_t dueMs, std::function<void()> action) = 0;
  // Drops an action that has not run. From any thread but the action's own,
  // returns only when the action is not running.
  virtual void Cancel(ActionId id) = 0;

  virtual void Join() = 0;
  virtual void Leave() = 0;

  // A thread's part in the time, for the length of a scope; made by the
  // thread that starts the one that takes part, then moved into it.
  class Member {
   public:
    explicit Member(SharedTime& time) : time_(&time) { time_->Join(); }
    ~Member() {
      if (time_ != nullptr) time_->Leave();
    }
    Member(Member&& other) noexcept : time_(other.time_) { other.time_ = nullptr; }
    Member& operator=(Member&&) = delete;
    Member(const Member&) = delete;
    Member& operator=(const Member&) = delete;

   private:
    SharedTime* time_;
  };
};

}  // namespace bb
