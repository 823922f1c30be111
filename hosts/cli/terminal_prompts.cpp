#include "terminal_prompts.h"

namespace bb {

BoxAnswer TerminalPrompts::ShowMessageBox(const MessageBoxRequest& request) {
  // The watchdog may show its box from the timer's thread.
  std::lock_guard lock(mutex_);
  std::fprintf(out_, "[%s] %s\n", request.title.c_str(), request.text.c_str());
  std::fflush(out_);
  if (request.buttons == BoxButtons::kOkOnly) return BoxAnswer::kOkPressed;
  return answerYes_ ? BoxAnswer::kYes : BoxAnswer::kNo;
}

}  // namespace bb
