#pragma once

#include "platform/process_info.h"

namespace bb {

// The running executable on Windows: its module path and the product version
// of its own version resource.
class WinProcessInfo final : public ProcessInfo {
 public:
  std::string ExecutablePath() override;
  std::optional<ProductVersion> ReadProductVersionInfo() override;
};

}  // namespace bb
