#include "app/camera_wait.h"

#include <chrono>

namespace bb {

CameraWait::Now CameraWait::Steady() {
  return [] {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  };
}

bool CameraWait::RanOut() {
  const std::uint64_t now = now_();
  if (!beganMs_) beganMs_ = now;
  return now - *beganMs_ >= limitMs_;
}

std::uint64_t CameraWait::LeftMs() const {
  if (!beganMs_) return 0;
  const std::uint64_t waited = now_() - *beganMs_;
  return waited < limitMs_ ? limitMs_ - waited : 0;
}

}  // namespace bb
