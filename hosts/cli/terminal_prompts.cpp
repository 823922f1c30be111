#include "terminal_prompts.h"

namespace bb {

BoxAnswer TerminalPrompts::ShowMessageBox(const MessageBoxRequest& request) {
  // The watchdog may show its box from the timer's thread; the terminal
  // writes each text whole. Without the window's icons an error box says so
  // in words.
  const bool error = request.kind == BoxKind::kError;
  std::string text = (error ? "error: [" : "[") + request.title + "] " + request.text;
  if (request.buttons != BoxButtons::kOkOnly && !answerYes_) {
    text += "\n(not answered: give --yes to answer questions with yes)";
  }
  channel_.Note(text);
  if (request.buttons == BoxButtons::kOkOnly) return BoxAnswer::kOkPressed;
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
