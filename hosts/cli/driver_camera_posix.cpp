#include "camera_link.h"

namespace bb::cli {

// Cameras are reached through their Windows driver; Linux builds simulate.
std::unique_ptr<CameraLink> MakeDriverCamera() { return nullptr; }

}  // namespace bb::cli
