#include "terminal_progress.h"

#include <string>

#include "util/format.h"

namespace bb::cli {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

void TerminalProgress::Moved(const char* what, std::uint64_t done, std::uint64_t total) {
  // A header may announce less than the transfers move: the bar stays full.
  const int filled = done >= total ? kBarWidth : static_cast<int>(done * kBarWidth / total);
  const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                          std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
  // Another camera drawing now: this piece goes unshown, a later one shows.
  if (channel_.TryProgress(Format("  [%s] %llu/%llu %s", bar.c_str(), static_cast<unsigned long long>(done),
                                  static_cast<unsigned long long>(total), what))) {
    drawn_ = true;
  }
}

void TerminalProgress::StoragePolled(std::uint32_t polls) {
  channel_.Progress(Format("  storage write: poll %u", polls));
  drawn_ = true;
}

void TerminalProgress::Finished() {
  if (!drawn_) return;
  channel_.ProgressDone();
  drawn_ = false;
}

}  // namespace bb::cli
