#pragma once

// POSIX only: the limit on file sizes stands in for a full disk.
#include <sys/resource.h>

#include <csignal>

namespace bb::test {

// Files may grow to `room` bytes and no further while it lives, as on a full
// disk; the signal that goes with it is ignored, so the write fails instead.
class DiskRoom {
 public:
  explicit DiskRoom(rlim_t room) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = room;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~DiskRoom() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  DiskRoom(const DiskRoom&) = delete;
  DiskRoom& operator=(const DiskRoom&) = delete;

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

}  // namespace bb::test
