#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace bb::gui {

// Polls `done` until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

// One run of a Burnbench program in a fresh folder of its own, driven from this
// process through the messages of its windows.
class ProgramUnderTest {
 public:
  // Copies the program into a new folder; `files` go beside it.
  ProgramUnderTest(const std::filesystem::path& program,
                   const std::vector<std::filesystem::path>& files);
  ~ProgramUnderTest();
  ProgramUnderTest(const ProgramUnderTest&) = delete;
  ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }
  void WriteFile(const std::string& name, const std::string& content) const;

  // Starts the program and waits for its main window; false when none came.
  bool Start();
  HWND Window() const { return window_; }
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  std::vector<std::string> LogLines() const;
  std::string LastLogLine() const;
  std::string Caption() const { return TextOf(window_); }
  static std::string TextOf(HWND window);
  // The texts of a window's children, such as the message of a message box.
  static std::vector<std::string> ChildTexts(HWND window);
  bool Checked(int id) const;
  bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
  HWND FocusedControl() const;

  // Clicks a control without waiting for what the click starts.
  void Click(int id) const;
  void Check(int id, bool checked) const;
  // A key goes to the focused control, as the keyboard would send it.
  void PressKey(WPARAM key) const;

  // A top-level window of the program with this caption, or null.
  HWND FindOwnWindow(const std::string& caption) const;
  bool WaitForLogLine(const std::string& line,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;

 private:
  std::filesystem::path folder_;
  std::filesystem::path program_;
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

}  // namespace bb::gui
