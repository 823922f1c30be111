#pragma once

#include <string_view>

namespace bb {

// The main window's log list, status bar and caption. Called on the
// user-interface thread only; none of the calls fails in a way that is reported.
class Console {
 public:
  virtual ~Console() = default;
  // Appends one line at the end of the log list.
  virtual void AddLogLine(std::string_view text) = 0;
  // Empties the log list.
  virtual void ClearLog() = 0;
  // Replaces the text of the status bar's first part.
  virtual void SetStatusText(std::string_view text) = 0;
  // Replaces the main window's caption.
  virtual void SetCaption(std::string_view text) = 0;
  // Repaints the window at once; the message loop does not run during transfers.
  virtual void RepaintNow() = 0;
};

}  // namespace bb
