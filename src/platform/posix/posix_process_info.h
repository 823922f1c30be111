#pragma once

#include "platform/process_info.h"

namespace bb {

// The running executable on Linux: its path from /proc, its version from the
// build (there is no version resource on this platform).
class PosixProcessInfo final : public ProcessInfo {
 public:
  std::string ExecutablePath() override;
  std::optional<ProductVersion> ReadProductVersionInfo() override;
};

}  // namespace bb
