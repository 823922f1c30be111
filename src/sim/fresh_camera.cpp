#include "sim/fresh_camera.h"

#include "sim/sample_image.h"
#include "sim/sim_raw_image.h"

namespace bb::sim {

void SetUpFreshCamera(SimCamera& camera, bool legacy) {
  camera.legacy = legacy;
  camera.stage = 0;
  camera.storage[0] = EncodeBrnFile(SampleImageContent(), 0x100);
}

}  // namespace bb::sim
