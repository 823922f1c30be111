#pragma once

#include <deque>
#include <mutex>
#include <vector>

#include "platform/prompts.h"

namespace bb::test {

// Records every box shown and answers questions from a script (yes when the
// script is empty). Safe to call from the timer thread.
class RecordingPrompts final : public Prompts {
 public:
  BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
    std::lock_guard lock(mutex_);
    boxes_.push_back(request);
    if (request.buttons == BoxButtons::kOkOnly) return BoxAnswer::kOkPressed;
    if (answers_.empty()) return BoxAnswer::kYes;
    const BoxAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  void Answer(BoxAnswer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
  }
  std::vector<MessageBoxRequest> Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<MessageBoxRequest> boxes_;
  std::deque<BoxAnswer> answers_;
};

}  // namespace bb::test
