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

std::atomic<int> gPresses{0};
std::atomic<bool> gStation{false};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

template <std::size_t N>
void Say(const char (&text)[N]) {
  const auto written = BB_WRITE(2, text, N - 1);
  static_cast<void>(written);
}

// Only what is safe in a signal handler: atomics and one write. The
// technician learns at once that the key was seen, even while a step that
// must not be cut short (a transfer, the storage write's polls) goes on.
extern "C" void OnInterrupt(int) {
  const int press = gPresses.fetch_add(1) + 1;
  if (gStation.load() && press == 1) {
    Say("\nstopping: no more cameras are taken and the runs under way finish; Ctrl-C again ends them "
        "where their camera is safe\n");
    std::signal(SIGINT, OnInterrupt);
    return;
  }
  if (gStation.load()) {
    Say("\ninterrupted: the runs end when their camera is safe; Ctrl-C again to quit at once\n");
  } else {
    Say("\ninterrupted: the run ends when the camera is safe; Ctrl-C again to quit at once\n");
  }
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }

void InstallStationInterruptHandler() {
  gStation.store(true);
  std::signal(SIGINT, OnInterrupt);
}

int InterruptPresses() { return gPresses.load(); }

bool Interrupted() { return gPresses.load() > 0; }

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
