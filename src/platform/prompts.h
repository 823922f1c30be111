#pragma once

#include <string>

namespace bb {

enum class BoxIcon { kInformation, kError, kExclamation, kQuestion };
enum class BoxButtons { kOkOnly, kYesNo };
enum class BoxAnswer { kOkPressed, kYes, kNo };

struct MessageBoxRequest {
  std::string text;
  std::string title;
  BoxIcon icon = BoxIcon::kInformation;
  BoxButtons buttons = BoxButtons::kOkOnly;
  // An owner-less box does not block the main window's input.
  bool ownerless = false;
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
};

}  // namespace bb
