#pragma once

#include <atomic>

#include "platform/prompts.h"

namespace bb {

// Passes every box and dialog on and notes whether one stopped the run: an
// error box, or a question that was not answered yes. A session without a
// window judges its run by that beside its log. Any thread: the watchdog
// shows its box from the timer's.
class StoppingBoxes final : public Prompts {
 public:
  explicit StoppingBoxes(Prompts& inner) : inner_(inner) {}

  BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
    const BoxAnswer answer = inner_.ShowMessageBox(request);
    const bool declined = request.buttons != BoxButtons::kOkOnly && answer != BoxAnswer::kYes &&
                          answer != BoxAnswer::kOkPressed;
    if (request.kind == BoxKind::kError || declined) stopped_.store(true);
    return answer;
  }
  bool SelectJobFiles(JobFileChoice& files) override { return inner_.SelectJobFiles(files); }
  std::string ChooseFolder(const std::string& initialFolder) override {
    return inner_.ChooseFolder(initialFolder);
  }
  std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override {
    return inner_.ChooseOpenFile(request);
  }

  bool Stopped() const { return stopped_.load(); }

 private:
  Prompts& inner_;
  std::atomic<bool> stopped_{false};
};

}  // namespace bb
