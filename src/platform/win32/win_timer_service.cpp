#include "platform/win32/win_timer_service.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace bb {

namespace {

struct LiveTimer {
  const WinTimerService* owner;
  std::function<void()> expiry;
  UINT systemId = 0;
  // The threads in this timer's expiry right now.
  std::vector<std::thread::id> runningOn;
};

// Every live multimedia timer of the process, by the id handed out, which is also
// the timer's user value. Deliberately never destroyed: an expiry may still
// arrive while the process exits.
struct TimerTable {
  std::mutex mutex;
  std::condition_variable expiryEnded;
  std::map<TimerService::TimerId, std::shared_ptr<LiveTimer>> live;
  TimerService::TimerId nextId = 1;
};

TimerTable& Table() {
  static TimerTable* const table = new TimerTable;
  return *table;
}

// Ids are not reused soon, so a late expiry of a killed timer cannot run a new one.
TimerService::TimerId TakeId(TimerTable& table) {
  TimerService::TimerId id = TimerService::kNoTimer;
  while (id == TimerService::kNoTimer || table.live.contains(id)) id = table.nextId++;
  return id;
}

void CALLBACK OnExpiry(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) noexcept {
  TimerTable& table = Table();
  const std::thread::id self = std::this_thread::get_id();
  std::shared_ptr<LiveTimer> timer;
  {
    std::lock_guard lock(table.mutex);
    const auto found = table.live.find(static_cast<TimerService::TimerId>(user));
    if (found == table.live.end()) return;
    // Holding the timer keeps its expiry alive even if it is killed meanwhile.
    timer = found->second;
    timer->runningOn.push_back(self);
  }
  timer->expiry();
  {
    std::lock_guard lock(table.mutex);
    std::vector<std::thread::id>& running = timer->runningOn;
    running.erase(std::find(running.begin(), running.end(), self));
  }
  table.expiryEnded.notify_all();
}

}  // namespace

WinTimerService::~WinTimerService() {
  std::vector<TimerId> own;
  {
    TimerTable& table = Table();
    std::lock_guard lock(table.mutex);
    for (const auto& [id, timer] : table.live) {
      if (timer->owner == this) own.push_back(id);
    }
  }
  for (const TimerId id : own) Kill(id);
}

void WinTimerService::BeginFineResolution() { timeBeginPeriod(1); }

void WinTimerService::EndFineResolution() { timeEndPeriod(1); }

TimerService::TimerId WinTimerService::StartPeriodic(std::uint32_t periodMs,
                                                     std::function<void()> expiry) {
  TimerTable& table = Table();
  auto timer = std::make_shared<LiveTimer>(LiveTimer{this, std::move(expiry), 0, {}});
  TimerId id = kNoTimer;
  {
    std::lock_guard lock(table.mutex);
    id = TakeId(table);
    // In place before the timer starts, since it may fire before timeSetEvent returns.
    table.live[id] = timer;
  }
  const UINT systemId = timeSetEvent(std::max<std::uint32_t>(periodMs, 1), 1, OnExpiry, id,
                                     TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
  std::lock_guard lock(table.mutex);
  if (systemId == 0) {
    table.live.erase(id);
    return kNoTimer;
  }
  timer->systemId = systemId;
  return id;
}

void WinTimerService::Kill(TimerId id) {
  TimerTable& table = Table();
  std::unique_lock lock(table.mutex);
  const auto found = table.live.find(id);
  if (found == table.live.end()) return;
  const std::shared_ptr<LiveTimer> timer = found->second;
  table.live.erase(found);
  // Not under the lock: the timer thread may be waiting for it in an expiry.
  lock.unlock();
  timeKillEvent(timer->systemId);
  lock.lock();
  // Inside its own expiry this thread is the one running it; only others are waited for.
  const std::thread::id self = std::this_thread::get_id();
  table.expiryEnded.wait(lock, [&] {
    return std::ranges::all_of(timer->runningOn, [&](std::thread::id t) { return t == self; });
  });
}

}  // namespace bb
