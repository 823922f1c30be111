#pragma once

#include <string>
#include <vector>

#include "app/run_tracker.h"

namespace bb {

// Whether a run succeeded, judged as the operator judges it: by the lines the
// run left in the log list, the last of which names the outcome.
bool RunSucceeded(RunCommand command, const std::vector<std::string>& log);

// Fills in what came of the run as the command line's exit status judges it:
// a success by the log, unless an error box was shown during the run (its
// box may be the only report of a failure); exit status 0 or 1, and the log's
// last line.
void JudgeRun(RunRecord& record, const std::vector<std::string>& log, bool errorBoxShown);

}  // namespace bb
