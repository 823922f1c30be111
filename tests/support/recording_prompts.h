#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
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
    if (answers_.empty()) {
      return request.buttons == BoxButtons::kOkCancel ? BoxAnswer::kOkPressed : BoxAnswer::kYes;
    }
    const BoxAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  // The file-selection dialog: each call takes the next scripted outcome. The
  // dialog opens with the job's paths; the script may replace them.
  struct FileDialogOutcome {
    bool confirm = true;
    bool paramOnly = false;
    std::optional<JobFileChoice> replace;
  };
  bool SelectJobFiles(JobFileChoice& files) override {
    std::lock_guard lock(mutex_);
    dialogsOpened_.push_back(files);
    FileDialogOutcome outcome;
    if (!fileDialogs_.empty()) {
      outcome = fileDialogs_.front();
      fileDialogs_.pop_front();
    }
    if (outcome.replace) files = *outcome.replace;
    files.paramOnly = outcome.paramOnly;
    return outcome.confirm;
  }
  void ScriptFileDialog(FileDialogOutcome outcome) {
    std::lock_guard lock(mutex_);
    fileDialogs_.push_back(std::move(outcome));
  }
  std::vector<JobFileChoice> FileDialogsOpened() const {
    std::lock_guard lock(mutex_);
    return dialogsOpened_;
  }

  // The folder browser answers with the next scripted folder; an empty one is
  // a cancel.
  std::string ChooseFolder(const std::string& initialFolder) override {
    std::lock_guard lock(mutex_);
    foldersOpenedOn_.push_back(initialFolder);
    if (folders_.empty()) return {};
    std::string folder = folders_.front();
    folders_.pop_front();
    return folder;
  }
  void ScriptFolder(std::string folder) {
    std::lock_guard lock(mutex_);
    folders_.push_back(std::move(folder));
  }
  std::vector<std::string> FoldersOpenedOn() const {
    std::lock_guard lock(mutex_);
    return foldersOpenedOn_;
  }

  // The open-file dialog answers with the next scripted path; nullopt cancels.
  std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override {
    std::lock_guard lock(mutex_);
    openFileRequests_.push_back(request);
    if (openFiles_.empty()) return std::nullopt;
    std::optional<std::string> path = openFiles_.front();
    openFiles_.pop_front();
    return path;
  }
  void ScriptOpenFile(std::optional<std::string> path) {
    std::lock_guard lock(mutex_);
    openFiles_.push_back(std::move(path));
  }
  std::vector<OpenFileRequest> OpenFileRequests() const {
    std::lock_guard lock(mutex_);
    return openFileRequests_;
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
  std::deque<FileDialogOutcome> fileDialogs_;
  std::vector<JobFileChoice> dialogsOpened_;
  std::deque<std::string> folders_;
  std::deque<std::optional<std::string>> openFiles_;
  std::vector<OpenFileRequest> openFileRequests_;
  std::vector<std::string> foldersOpenedOn_;
};

}  // namespace bb::test
