#pragma once

#include <optional>
#include <string>

namespace bb {

// kNone: the box shows its text and buttons without an icon.
enum class BoxIcon { kNone, kInformation, kError, kExclamation, kQuestion };
// What a box means for the run, apart from how it looks: a host without
// windows decides by this, never by the icon. A question is answered; an
// error stops the run; a notice only informs.
enum class BoxKind { kNotice, kError, kQuestion };
enum class BoxButtons { kOkOnly, kOkCancel, kYesNo };
enum class BoxAnswer { kOkPressed, kCancel, kYes, kNo };

struct MessageBoxRequest {
  std::string text;
  std::string title;
  BoxIcon icon = BoxIcon::kNone;
  // A box that does not say what it is counts as an error: a run that showed
  // one is never reported as a success.
  BoxKind kind = BoxKind::kError;
  BoxButtons buttons = BoxButtons::kOkOnly;
  // An owner-less box does not block the main window's input.
  bool ownerless = false;
};

// The three image files of a burn as the file-selection dialog edits them.
struct JobFileChoice {
  std::string paramFile;
  std::string ispFile;
  std::string fwFile;
  bool paramOnly = false;
};

// The open-file dialog: one filter, a title, and where it opens.
struct OpenFileRequest {
  std::string title;
  std::string filterDescription;
  std::string filterPattern;
  std::string initialPath;
  std::string initialFolder;
};

// Message boxes and the modal dialogs that ask the operator something.
// Each call blocks until the operator has answered.
class Prompts {
 public:
  virtual ~Prompts() = default;
  // Called on the user-interface thread, and for owner-less boxes also from the
  // timer service's thread (the bulk-read watchdog), so implementations must
  // allow both at once.
  virtual BoxAnswer ShowMessageBox(const MessageBoxRequest& request) = 0;

  // The file-selection dialog, opened with `files`. Returns true when the
  // operator confirmed; `files` then holds the chosen paths (each at most 255
  // bytes). `paramOnly` holds the dialog's final check state on both outcomes.
  virtual bool SelectJobFiles(JobFileChoice& files) = 0;

  // The folder browser, opened on `initialFolder` (the current directory when
  // it is empty). Returns the chosen folder, or an empty text when cancelled.
  virtual std::string ChooseFolder(const std::string& initialFolder) = 0;

  // The open-file dialog for an existing file. Returns the chosen path, or
  // nullopt when the operator cancelled.
  virtual std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) = 0;
};

}  // namespace bb
