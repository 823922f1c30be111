#include "station_survey.h"

#include "device/camera_survey.h"

namespace bb::cli {

std::vector<SeenCamera> StationSurvey::Look() {
  std::vector<SeenCamera> seen;
  for (const AttachedCamera& camera : ListCameras(link_->Transport())) {
    seen.push_back(SeenCamera{camera.location, camera.path, camera.serial});
  }
  return seen;
}

}  // namespace bb::cli
