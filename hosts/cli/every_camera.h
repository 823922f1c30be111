#pragma once

#include <vector>

#include "cli_session.h"
#include "device/camera_survey.h"
#include "platform/camera_link.h"
#include "terminal.h"

namespace bb::cli {

// `burn --all`, `versions --all`: a station of the `cameras` attached when
// the command started, every one a slot at its location, each run a session
// of its own, all at once, and no camera after them. The lines of each camera
// carry its location; at the end one row per camera. Returns the exit status:
// 130 when Ctrl-C ended a camera's run, 1 when one failed, 0 when all passed;
// 2 when the cameras cannot be told apart, or a burn has no configuration.
int RunEveryCamera(const ProcessSetup& setup, CameraWorld& world, const std::vector<AttachedCamera>& cameras,
                   Terminal& terminal);

}  // namespace bb::cli
