#include "station_survey.h"

#include <memory>

#include "device/camera_survey.h"

namespace bb::cli {

std::vector<SeenCamera> StationSurvey::Look() {
  const std::unique_ptr<CameraLink> link = world_.Connect({}, notes_);
  std::vector<SeenCamera> seen;
  for (const AttachedCamera& camera : ListCameras(link->Transport())) {
    seen.push_back(SeenCamera{camera.location, camera.path, camera.serial});
  }
  return seen;
}

bool StationSurvey::HeldByOther(const SeenCamera& camera) {
  const std::unique_ptr<CameraLink> link = world_.Connect({}, {});
  const DeviceTransport::Handle handle = link->Transport().Open(camera.path);
  if (handle == DeviceTransport::kInvalidHandle) return link->HeldElsewhere(camera.path);
  link->Transport().Close(handle);
  return false;
}

}  // namespace bb::cli
