#pragma once

#include <memory>
#include <vector>

#include "platform/camera_link.h"
#include "station/station_ports.h"

namespace bb::cli {

// The station's look at the bus: each camera present, where it is plugged in
// and its serial, through one link kept for the station's life and made on
// its thread. Through libusb a link of its own per look would start and stop
// libusb's watch of the bus at every look, and each of those contexts ends
// while device events may be arriving.
class StationSurvey final : public CameraSurvey {
 public:
  StationSurvey(CameraWorld& world, CameraWorld::Notes notes);

  std::vector<SeenCamera> Look() override;
  // Opens the camera and lets it go at once, as devices does: a camera
  // another program holds cannot be opened.
  bool HeldByOther(const SeenCamera& camera) override;

 private:
  CameraWorld& world_;
  std::unique_ptr<CameraLink> link_;
};

}  // namespace bb::cli
