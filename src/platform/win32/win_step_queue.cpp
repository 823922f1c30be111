#include "platform/win32/win_step_queue.h"

#include "common/steps.h"

namespace bb {

void WinStepQueue::Post(std::uint32_t step) { PostMessageW(window_, kStepMessage, step, 0); }

}  // namespace bb
