#include "device/camera_binding.h"

#include <utility>

namespace bb {

void CameraBinding::Pin(std::string location) { pinned_ = std::move(location); }

void CameraBinding::BeginRun() {
  inRun_ = true;
  learned_.reset();
  runFoundCamera_ = false;
  runLocation_.clear();
  runPath_.clear();
  runSerial_.clear();
}

void CameraBinding::EndRun() {
  inRun_ = false;
  learned_.reset();
}

const std::string* CameraBinding::Location() const {
  if (pinned_) return &*pinned_;
  return learned_ ? &*learned_ : nullptr;
}

void CameraBinding::Found(const std::string& location, const std::string& path,
                          const std::string& serial) {
  if (!inRun_ || runFoundCamera_) return;
  runFoundCamera_ = true;
  runLocation_ = location;
  runPath_ = path;
  runSerial_ = serial;
  if (!pinned_ && !location.empty()) learned_ = location;
}

}  // namespace bb
