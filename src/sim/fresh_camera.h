#pragma once

#include "sim/sim_camera.h"

namespace bb::sim {

// A camera as it comes out of the box: waiting for its parameters and core,
// with the sample firmware in its storage. A legacy one is a VEXA611, VEXA616
// or VEXA618.
void SetUpFreshCamera(SimCamera& camera, bool legacy);

}  // namespace bb::sim
