#pragma once

#include <windows.h>

#include <string>

#include "platform/prompts.h"

namespace bb {

// Message boxes and the common dialogs, owned by the main window. The message
// box may also be called from the watchdog's timer thread (owner-less).
class WinPrompts final : public Prompts {
 public:
  // `fileSelectionTemplate` is the dialog template of the file-selection dialog;
  // `applicationName` titles the framework's own messages.
  WinPrompts(HINSTANCE instance, HWND owner, int fileSelectionTemplate,
             std::string applicationName)
      : instance_(instance),
        owner_(owner),
        fileSelectionTemplate_(fileSelectionTemplate),
        applicationName_(std::move(applicationName)) {}

  BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
  bool SelectJobFiles(JobFileChoice& files) override;
  std::string ChooseFolder(const std::string& initialFolder) override;
  std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override;

 private:
  HINSTANCE instance_;
  HWND owner_;
  int fileSelectionTemplate_;
  std::string applicationName_;
};

}  // namespace bb
