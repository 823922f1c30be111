#include "window_driver.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

#include "platform/win32/utf16.h"

namespace bb::gui {

namespace {

constexpr int kLogList = 1010;
constexpr UINT kReplyTimeoutMs = 20000;

// Replies from the program may wait for the end of a step that blocks it.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kReplyTimeoutMs,
                           &result)) {
    return -1;
  }
  return static_cast<LRESULT>(result);
}

struct WindowSearch {
  DWORD processId;
  std::wstring caption;
  bool mainWindow;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  const bool matches = search->mainWindow
                           ? GetDlgItem(window, kLogList) != nullptr
                           : ToUtf16(ProgramUnderTest::TextOf(window)) == search->caption;
  if (!matches) return TRUE;
  search->found = window;
  return FALSE;
}

std::filesystem::path NewFolder() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("burnbench-gui-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

ProgramUnderTest::ProgramUnderTest(const std::filesystem::path& program,
                                   const std::vector<std::filesystem::path>& files)
    : folder_(NewFolder()), program_(folder_ / program.filename()) {
  std::filesystem::copy_file(program, program_);
  for (const std::filesystem::path& file : files) {
    std::filesystem::copy_file(file, folder_ / file.filename());
  }
}

ProgramUnderTest::~ProgramUnderTest() {
  if (process_.hProcess != nullptr) {
    if (window_ != nullptr && IsWindow(window_)) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void ProgramUnderTest::WriteFile(const std::string& name, const std::string& content) const {
  std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
  out << content;
}

bool ProgramUnderTest::Start() {
  std::wstring commandLine = L"\"" + program_.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(program_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder_.c_str(), &startup, &process_)) {
    return false;
  }
  WaitUntil([&] {
    WindowSearch search{process_.dwProcessId, L"", true};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    window_ = search.found;
    return window_ != nullptr;
  });
  return window_ != nullptr;
}

std::string ProgramUnderTest::TextOf(HWND window) {
  const LRESULT length = Ask(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied =
      Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
  return ToUtf8(text);
}

std::vector<std::string> ProgramUnderTest::ChildTexts(HWND window) {
  std::vector<std::string> texts;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    texts.push_back(TextOf(child));
  }
  return texts;
}

std::vector<std::string> ProgramUnderTest::LogLines() const {
  const HWND list = Control(kLogList);
  std::vector<std::string> lines;
  const LRESULT count = Ask(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Ask(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) break;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        Ask(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
    lines.push_back(ToUtf8(text));
  }
  return lines;
}

std::string ProgramUnderTest::LastLogLine() const {
  const std::vector<std::string> lines = LogLines();
  return lines.empty() ? std::string() : lines.back();
}

bool ProgramUnderTest::Checked(int id) const {
  return Ask(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

HWND ProgramUnderTest::FocusedControl() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(process_.dwThreadId, &info)) return nullptr;
  return info.hwndFocus;
}

void ProgramUnderTest::Click(int id) const { PostMessageW(Control(id), BM_CLICK, 0, 0); }

void ProgramUnderTest::Check(int id, bool checked) const {
  Ask(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void ProgramUnderTest::PressKey(WPARAM key) const {
  const HWND focused = FocusedControl();
  PostMessageW(focused != nullptr ? focused : window_, WM_KEYDOWN, key, 1);
}

HWND ProgramUnderTest::FindOwnWindow(const std::string& caption) const {
  WindowSearch search{process_.dwProcessId, ToUtf16(caption), false};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool ProgramUnderTest::WaitForLogLine(const std::string& line,
                                      std::chrono::milliseconds timeout) const {
  return WaitUntil(
      [&] {
        const std::vector<std::string> lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
      },
      timeout);
}

}  // namespace bb::gui
