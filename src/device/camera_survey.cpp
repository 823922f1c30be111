#include "device/camera_survey.h"

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
    cameras.push_back(std::move(camera));
  }
  transport.CloseInterfaceSet(set);
  return cameras;
}

}  // namespace bb
