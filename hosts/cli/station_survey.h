#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "camera_link.h"
#include "station/station_ports.h"

namespace bb::cli {

// The station's look at the bus, through a link of its own that claims
// nothing: each camera present, where it is plugged in and its serial.
class StationSurvey final : public CameraSurvey {
 public:
  StationSurvey(CameraWorld& world, CameraWorld::Notes notes) : link_(world.Connect({}, std::move(notes))) {}

  std::vector<SeenCamera> Look() override;
  bool HeldByOther(const SeenCamera& camera) override { return link_->HeldElsewhere(camera.path); }

 private:
  std::unique_ptr<CameraLink> link_;
};

}  // namespace bb::cli
