#include "terminal_prompts.h"

namespace bb {

BoxAnswer TerminalPrompts::ShowMessageBox(const MessageBoxRequest& request) {
  // The watchdog may show its box from the timer's thread.
  std::lock_guard lock(mutex_);
  // Without the window's icons an error box says so in words.
  const bool error = request.kind == BoxKind::kError;
  std::fprintf(out_, "%s[%s] %s\n", error ? "error: " : "", request.title.c_str(),
               request.text.c_str());
  std::fflush(out_);
  if (error) stopped_ = true;
  if (request.buttons == BoxButtons::kOkOnly) return BoxAnswer::kOkPressed;
  if (!answerYes_) {
    std::fputs("(not answered: give --yes to answer questions with yes)\n", out_);
    stopped_ = true;
  }
  if (request.buttons == BoxButtons::kOkCancel) {
    return answerYes_ ? BoxAnswer::kOkPressed : BoxAnswer::kCancel;
  }
  return answerYes_ ? BoxAnswer::kYes : BoxAnswer::kNo;
}

bool TerminalPrompts::SelectJobFiles(JobFileChoice& files) {
  files.paramOnly = false;
  return true;
}

std::optional<std::string> TerminalPrompts::ChooseOpenFile(const OpenFileRequest&) {
  return openFile_;
}

std::string TerminalPrompts::ChooseFolder(const std::string&) { return folder_; }

}  // namespace bb
