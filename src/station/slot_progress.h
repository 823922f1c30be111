#pragma once

#include <cstdint>

#include "app/progress_transport.h"
#include "station/station_ports.h"

namespace bb {

// Where a station's run stands, told to its station as the run goes: the
// phase by the step it takes next, and the share of each transfer in percent.
class SlotProgress final : public TransferProgress {
 public:
  explicit SlotProgress(RunWatcher& watcher) : watcher_(watcher) {}

  // Told of each step as the run takes it, before it runs.
  void Stepped(std::uint32_t step);

  void Moved(const char* what, std::uint64_t done, std::uint64_t total) override;
  // The station shows the storage write as a phase of its own.
  void StoragePolled(std::uint32_t) override {}
  void Finished() override {}

 private:
  RunWatcher& watcher_;
  SlotState phase_ = SlotState::kBurning;
  int lastPercent_ = -1;
};

}  // namespace bb
