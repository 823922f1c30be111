#include "device/camera_survey.h"

#include "device/device_serial.h"

namespace bb {

namespace {

// As in the search for the camera: a broken set might never say it is done.
constexpr std::uint32_t kMaxFailedIndexesInARow = 256;

}  // namespace

std::vector<AttachedCamera> ListCameras(DeviceTransport& transport) {
  std::vector<AttachedCamera> cameras;
  const DeviceTransport::SetHandle set = transport.OpenInterfaceSet(CameraInterfaceClass);
  if (set == DeviceTransport::kNoSet) return cameras;
  std::uint32_t failedInARow = 0;
  for (std::uint32_t index = 0; failedInARow < kMaxFailedIndexesInARow; ++index) {
    const DeviceTransport::EnumResult result = transport.EnumerateInterface(set, index);
    if (result == DeviceTransport::EnumResult::kNoMoreItems) break;
    if (result == DeviceTransport::EnumResult::kOtherError) {
      ++failedInARow;
      continue;
    }
    failedInARow = 0;
    AttachedCamera camera;
    if (!transport.ReadInterfaceLocation(set, index, camera.location)) camera.location.clear();
    if (!transport.ReadInterfacePath(set, index, camera.path)) camera.path.clear();
    std::string serial;
    if (transport.ReadInterfaceSerial(set, index, serial)) camera.serial = BoundedSerial(serial);
    cameras.push_back(std::move(camera));
  }
  transport.CloseInterfaceSet(set);
  return cameras;
}

std::optional<std::string> RepeatedLocation(const std::vector<AttachedCamera>& cameras) {
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    if (cameras[i].location.empty()) continue;
    for (std::size_t j = i + 1; j < cameras.size(); ++j) {
      if (cameras[j].location == cameras[i].location) return cameras[i].location;
    }
  }
  return std::nullopt;
}

}  // namespace bb
