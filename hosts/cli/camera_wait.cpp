#include "camera_wait.h"

#include <algorithm>

namespace bb::cli {

std::uint64_t CameraWait::NowMs() const {
  if (virtualClock_ != nullptr) return virtualClock_->NowMs();
  if (sharedTime_ != nullptr) return sharedTime_->NowMs();
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool CameraWait::RanOut() {
  const std::uint64_t now = NowMs();
  if (!beganMs_) beganMs_ = now;
  return now - *beganMs_ >= limitMs_;
}

void CameraWait::PassASecond() {
  if (virtualClock_ == nullptr || !beganMs_) return;
  const std::uint64_t waited = NowMs() - *beganMs_;
  if (waited < limitMs_) virtualClock_->Advance(std::min<std::uint64_t>(limitMs_ - waited, 1000));
}

}  // namespace bb::cli
