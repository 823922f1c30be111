#pragma once

#include <string>

#include "cli_options.h"

namespace bb::cli {

// replay FILE OPERAND: the operand stands for the recorded folder of a read or
// firmware of a legacy download.
bool ReplayWithOperand(const Options& options);

// --record goes with the commands that talk to a camera; replay takes only
// --ini and --yes, since the recording says the rest; recording takes none.
bool CheckRecordOptions(const Options& options, std::string& error);

// The commands that talk to a camera.
bool TalksToCamera(const std::string& command);

}  // namespace bb::cli
