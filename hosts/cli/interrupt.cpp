#include "interrupt.h"

#include <atomic>
#include <csignal>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#define BB_WRITE _write
#else
#include <unistd.h>
#define BB_WRITE ::write
#endif

namespace bb::cli {

namespace {

std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// Only what is safe in a signal handler: an atomic store and one write. The
// technician learns at once that the key was seen, even while a step that
// must not be cut short (a transfer, the storage write's polls) goes on.
extern "C" void OnInterrupt(int) {
  gInterrupted.store(true);
  static constexpr char kNotice[] =
      "\ninterrupted: the run ends when the camera is safe; Ctrl-C again to quit at once\n";
  const auto written = BB_WRITE(2, kNotice, sizeof kNotice - 1);
  static_cast<void>(written);
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }

bool Interrupted() { return gInterrupted.load(); }

bool WaitForInterrupt(std::chrono::milliseconds timeout) {
  // A short nap, not a wake-up from the handler: a signal handler can notify
  // nothing safely, and a run that waits for its camera needs no quicker answer.
  constexpr std::chrono::milliseconds kNap{10};
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!Interrupted()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(kNap);
  }
  return true;
}

}  // namespace bb::cli
