#include "main_dialog.h"

#include <commctrl.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "about_box.h"
#include "app/process_values.h"
#include "app/run_recorder.h"
#include "common/control_ids.h"
#include "app/error_box_watch.h"
#include "app/log_keeper.h"
#include "app/main_window.h"
#include "app/run_outcome.h"
#include "app/run_report.h"
#include "common/steps.h"
#include "app/workbench.h"
#include "camera_side.h"
#include "platform/append_file.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win_clock.h"
#include "platform/win32/win_arrival_watch.h"
#include "platform/win32/win_console.h"
#include "platform/win32/win_controls.h"
#include "platform/win32/win_process_info.h"
#include "platform/win32/win_profile.h"
#include "platform/win32/win_prompts.h"
#include "platform/win32/win_step_queue.h"
#include "platform/win32/win_timer_service.h"
#include "resource_ids.h"

namespace bb::win {

namespace {

// The executable's file name without its extension titles the program's own
// message boxes.
std::string ApplicationName(const std::string& executablePath) {
  const std::wstring stem = std::filesystem::path(ToUtf16(executablePath)).stem().wstring();
  return stem.empty() ? std::string("Burnbench") : ToUtf8(stem);
}

std::filesystem::path CurrentFolder() {
  std::error_code error;
  return std::filesystem::current_path(error);
}

// Every run of the window appends its line to the report that Isp.ini names.
// A report that cannot be written must not fail a burn: it is only a warning.
void ReportRun(RunRecord& record, const LogKeeper& log, const ErrorBoxWatch& boxes,
               const Context& context) {
  if (context.settings.reportFile.empty()) return;
  JudgeRun(record, log.Lines(), boxes.ErrorShown());
  const std::string path = ReportPath(context.settings.reportFile, context.executableFolder);
  if (!AppendWhole(path, RunReportLine(record))) {
    std::fprintf(stderr, "%s: cannot write the run report to %s\n", context.applicationName.c_str(),
                 path.c_str());
  }
}

}  // namespace

// Everything that needs the window's handle, made once the window exists.
struct MainDialog::Parts {
  Parts(HINSTANCE instance, HWND window, Context& context)
      : console(window),
        log(console),
        controls(window),
        prompts(instance, window, kFileSelectionDialog, context.applicationName),
        boxes(prompts),
        steps(window),
        camera(MakeCameraSide(window)),
        recordFile(RecordFileSetting(profile, ComputeExecutableFolder(process))),
        recorder(camera->Transport(), camera->Arrivals(), recordFile, record::SteadyMicroseconds()),
        platform{recordFile.empty() ? camera->Transport() : recorder.Transport(),
                 clock, timers, log, controls, boxes, steps,
                 recordFile.empty() ? camera->Arrivals() : recorder.Arrivals(), profile},
        bench(platform, context),
        mainWindow(bench, process, StartupImageSite{CurrentFolder(), std::cout}) {
    recorder.Attach(bench, context.applicationName);
    bench.runs.OnRunBegin([this] { boxes.Forget(); });
    bench.runs.OnRunEnd(
        [this, &context](RunRecord& record) { ReportRun(record, log, boxes, context); });
  }

  WinConsole console;
  LogKeeper log;
  WinControls controls;
  WinPrompts prompts;
  ErrorBoxWatch boxes;
  WinStepQueue steps;
  WinClock clock;
  WinTimerService timers;
  WinProfile profile;
  WinProcessInfo process;
  std::unique_ptr<CameraSide> camera;
  // [Record] File= of Isp.ini: each run's calls go there.
  std::string recordFile;
  RunRecorder recorder;
  Platform platform;
  Workbench bench;
  MainWindow mainWindow;
};

MainDialog::MainDialog(HINSTANCE instance) : instance_(instance) {
  WinProcessInfo process;
  context_.applicationName = ApplicationName(process.ExecutablePath());
}

MainDialog::~MainDialog() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (icon_ != nullptr) DestroyIcon(icon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

HWND MainDialog::Create() {
  return CreateDialogParamW(instance_, MAKEINTRESOURCEW(kMainDialog), nullptr, Procedure,
                            reinterpret_cast<LPARAM>(this));
}

bool MainDialog::FilterMessage(const MSG& message) {
  if (!parts_) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_F5) parts_->recorder.BeginRun(RunTrigger::kF5Key);
  if (message.message == WM_KEYDOWN && message.wParam == VK_F6) parts_->recorder.BeginRun(RunTrigger::kF6Key);
  return parts_->bench.sequencer.FilterKey(message.message, message.wParam);
}

bool MainDialog::TakeDialogMessage(MSG& message) {
  return window_ != nullptr && IsDialogMessageW(window_, &message);
}

void MainDialog::OnIdle() {
  if (!parts_) return;
  parts_->recorder.OnIdle();
  parts_->camera->OnIdle();
}

INT_PTR CALLBACK MainDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<MainDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->window_ = window;
  }
  auto* dialog = reinterpret_cast<MainDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  return dialog == nullptr ? FALSE : dialog->Handle(message, wParam, lParam);
}

INT_PTR MainDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();
  // Windows may send the window messages while it is still being set up.
  if (!parts_) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == kAboutCommand) {
        ShowAbout(instance_, window_, context_.productVersion);
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      return PaintMinimised();
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    case kStepMessage:
      SetWindowLongPtrW(window_, DWLP_MSGRESULT,
                        parts_->bench.sequencer.OnStep(static_cast<std::uint32_t>(wParam)));
      return TRUE;
    case WM_DEVICECHANGE: {
      const std::uint32_t event = static_cast<std::uint32_t>(wParam);
      const DeviceArrival arrival = DescribeArrival(lParam);
      parts_->recorder.DeviceChange(event, arrival);
      parts_->bench.sequencer.OnDeviceChange(event, arrival);
      return FALSE;
    }
    case WM_DESTROY:
      parts_->bench.arrivals.StopWatchingArrival();
      parts_->recorder.EndRun();
      PostQuitMessage(0);
      window_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

BOOL MainDialog::OnInitDialog() {
  CreateStatusBar();
  AddAboutMenuItem();
  SetIcons();
  FillControllerCombo();
  parts_ = std::make_unique<Parts>(instance_, window_, context_);
  // A half set-up window keeps the focus where Windows puts it.
  if (!parts_->mainWindow.Start()) return FALSE;
  return TRUE;
}

void MainDialog::CreateStatusBar() {
  const HWND bar = CreateWindowExW(
      0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBar)), instance_, nullptr);
  RECT client{};
  GetClientRect(window_, &client);
  int rightEdge = client.right;
  SendMessageW(bar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&rightEdge));
}

void MainDialog::AddAboutMenuItem() {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(instance_, kAboutMenuText, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0) return;
  const HMENU menu = GetSystemMenu(window_, FALSE);
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  const std::wstring item(text, static_cast<std::size_t>(length));
  AppendMenuW(menu, MF_STRING, kAboutCommand, item.c_str());
}

void MainDialog::SetIcons() {
  icon_ =
      static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

// The combo box is part of the window as defined, though nothing uses it.
void MainDialog::FillControllerCombo() {
  for (const wchar_t* item : {L"VEXA611", L"VEXA616", L"VEXA618", L"VEXA2860"}) {
    SendDlgItemMessageW(window_, kChipCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
}

void MainDialog::OnCommand(int id) {
  // Enter on a control that is no push button, and the close box: the window
  // closes, and with it the program.
  if (id == IDOK || id == IDCANCEL) {
    DestroyWindow(window_);
    return;
  }
  if (id == kIspButton) parts_->recorder.BeginRun(RunTrigger::kIspButton);
  if (id == kVersionButton) parts_->recorder.BeginRun(RunTrigger::kVersionButton);
  if (id == kReadButton) parts_->recorder.BeginRun(RunTrigger::kReadButton);
  parts_->mainWindow.OnCommand(id);
}

bool MainDialog::PaintMinimised() {
  if (!IsIconic(window_)) return false;
  PAINTSTRUCT paint;
  const HDC context = BeginPaint(window_, &paint);
  SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
  RECT client{};
  GetClientRect(window_, &client);
  const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(context, x, y, icon_);
  EndPaint(window_, &paint);
  return true;
}

}  // namespace bb::win
