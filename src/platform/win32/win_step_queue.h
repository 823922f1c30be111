#pragma once

#include <windows.h>

#include "platform/step_queue.h"

namespace bb {

// Steps are the step message posted to the main window, so the message loop
// runs between them.
class WinStepQueue final : public StepQueue {
 public:
  explicit WinStepQueue(HWND window) : window_(window) {}
  void Post(std::uint32_t step) override;

 private:
  HWND window_;
};

}  // namespace bb
