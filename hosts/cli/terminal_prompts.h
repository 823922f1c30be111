#pragma once

#include <cstdio>
#include <mutex>

#include "platform/prompts.h"

namespace bb {

// Message boxes as text on standard error. Questions get the answer the
// command line chose.
class TerminalPrompts final : public Prompts {
 public:
  TerminalPrompts(std::FILE* out, bool answerYes) : out_(out), answerYes_(answerYes) {}
  BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;

 private:
  std::mutex mutex_;
  std::FILE* out_;
  bool answerYes_;
};

}  // namespace bb
