#pragma once

#include <optional>
#include <string>

#include "platform/prompts.h"
#include "terminal.h"

namespace bb {

// Message boxes as text on standard error. Questions get the answer the
// command line chose.
class TerminalPrompts final : public Prompts {
 public:
  TerminalPrompts(cli::TerminalChannel channel, bool answerYes, std::string folder = {})
      : channel_(channel), answerYes_(answerYes), folder_(std::move(folder)) {}
  BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
  // The command line has chosen the files already: the dialog confirms them.
  bool SelectJobFiles(JobFileChoice& files) override;
  // The command line names the folder.
  std::string ChooseFolder(const std::string& initialFolder) override;

  // The command line names the file; without one the dialog is cancelled.
  std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override;
  void SetOpenFile(std::string path) { openFile_ = std::move(path); }

 private:
  cli::TerminalChannel channel_;
  bool answerYes_;
  std::string folder_;
  std::optional<std::string> openFile_;
};

}  // namespace bb
