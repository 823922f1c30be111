#include "station_survey.h"

#include <utility>

#include "device/camera_survey.h"

namespace bb::cli {

StationSurvey::StationSurvey(CameraWorld& world, CameraWorld::Notes notes)
    : world_(world), link_(world.Connect({}, std::move(notes))) {}

std::vector<SeenCamera> StationSurvey::Look() {
  link_->DropAnnounced();
  std::vector<SeenCamera> seen;
  for (const AttachedCamera& camera : ListCameras(link_->Transport())) {
    seen.push_back(SeenCamera{camera.location, camera.path, camera.serial});
  }
  return seen;
}

bool StationSurvey::HeldByOther(const SeenCamera& camera) {
  // A link of its own: a transport keeps the camera it opened claimed until
  // it goes, and the run must find the camera free.
  const std::unique_ptr<CameraLink> link = world_.Connect({}, {});
  const DeviceTransport::Handle handle = link->Transport().Open(camera.path);
  if (handle == DeviceTransport::kInvalidHandle) return link->HeldElsewhere(camera.path);
  link->Transport().Close(handle);
  return false;
}

}  // namespace bb::cli
