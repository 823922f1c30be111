#pragma once

#include "app/progress_transport.h"
#include "terminal.h"

namespace bb::cli {

// A run's transfers as a line in progress on the terminal: a bar of the bytes
// moved, or the polls of the storage write.
class TerminalProgress final : public TransferProgress {
 public:
  explicit TerminalProgress(TerminalChannel channel) : channel_(channel) {}

  void Moved(const char* what, std::uint64_t done, std::uint64_t total) override;
  void StoragePolled(std::uint32_t polls) override;
  void Finished() override;

 private:
  TerminalChannel channel_;
  bool drawn_ = false;
};

}  // namespace bb::cli
