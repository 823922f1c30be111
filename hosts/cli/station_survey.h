#pragma once

#include <utility>
#include <vector>

#include "platform/camera_link.h"
#include "station/station_ports.h"

namespace bb::cli {

// The station's look at the bus: each camera present, where it is plugged in
// and its serial. Each look takes a link of its own and lets it go, so that
// nothing the bus announces piles up between looks.
class StationSurvey final : public CameraSurvey {
 public:
  StationSurvey(CameraWorld& world, CameraWorld::Notes notes) : world_(world), notes_(std::move(notes)) {}

  std::vector<SeenCamera> Look() override;
  // Opens the camera and lets it go at once, as devices does: a camera
  // another program holds cannot be opened.
  bool HeldByOther(const SeenCamera& camera) override;

 private:
  CameraWorld& world_;
  CameraWorld::Notes notes_;
};

}  // namespace bb::cli
