#pragma once

#include <atomic>

#include "platform/prompts.h"

namespace bb {

// Passes every box and dialog on and notes whether an error box was shown,
// for hosts whose prompts cannot tell afterwards: some failures are reported
// by their box alone (an export stopped by "Export file error, break!" still
// ends its log in success), and a run that showed one did not succeed. Any
// thread: the watchdog shows its box from the timer's.
class ErrorBoxWatch final : public Prompts {
 public:
  explicit ErrorBoxWatch(Prompts& inner) : inner_(inner) {}

  BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
    if (request.kind == BoxKind::kError) errorShown_.store(true);
    return inner_.ShowMessageBox(request);
  }
  bool SelectJobFiles(JobFileChoice& files) override { return inner_.SelectJobFiles(files); }
  std::string ChooseFolder(const std::string& initialFolder) override {
    return inner_.ChooseFolder(initialFolder);
  }
  std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override {
    return inner_.ChooseOpenFile(request);
  }

  // Whether an error box was shown since the last Forget.
  bool ErrorShown() const { return errorShown_.load(); }
  void Forget() { errorShown_.store(false); }

 private:
  Prompts& inner_;
  std::atomic<bool> errorShown_{false};
};

}  // namespace bb
