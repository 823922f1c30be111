// The message boxes as Windows draws them: each with the icon it names, and
// none at all where it names none.
#include <windows.h>

#include <gtest/gtest.h>

#include <future>
#include <string>

#include "platform/win32/win_prompts.h"
#include "window_driver.h"

namespace bb::gui {
namespace {

struct IconSearch {
  HICON icon = nullptr;
  bool shown = false;
};

BOOL CALLBACK FindIcon(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<IconSearch*>(data);
  std::wstring name(16, L'\0');
  name.resize(static_cast<std::size_t>(GetClassNameW(child, name.data(), 16)));
  const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
  if (_wcsicmp(name.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
      IsWindowVisible(child)) {
    search->icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    search->shown = search->icon != nullptr;
  }
  return TRUE;
}

// Shows a box through the program's prompts on a thread of its own and returns
// the icon the box shows, or null for none; the box is then answered.
HICON IconOfBox(BoxIcon icon, BoxButtons buttons) {
  WinPrompts prompts(GetModuleHandleW(nullptr), nullptr, 0, "Burnbench");
  MessageBoxRequest request;
  request.text = "Files are existed, do you want to overwrite them?";
  request.title = "Icon test";
  request.icon = icon;
  request.buttons = buttons;
  request.ownerless = true;
  std::future<BoxAnswer> answer =
      std::async(std::launch::async, [&] { return prompts.ShowMessageBox(request); });
  // The box is looked at only once it is on the screen with its buttons: until
  // then its icon, if any, is not visible yet either.
  HWND box = nullptr;
  EXPECT_TRUE(WaitUntil([&] {
    box = FindWindowW(L"#32770", L"Icon test");
    return box != nullptr && IsWindowVisible(box) && GetDlgItem(box, IDOK) != nullptr;
  }));
  IconSearch search;
  if (box != nullptr) {
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&search));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  EXPECT_EQ(answer.get(), BoxAnswer::kOkPressed);
  return search.shown ? search.icon : nullptr;
}

TEST(MessageBoxTest, EachBoxShowsTheIconItNamesAndNoneWhereItNamesNone) {
  EXPECT_EQ(IconOfBox(BoxIcon::kNone, BoxButtons::kOkCancel), nullptr);
  EXPECT_EQ(IconOfBox(BoxIcon::kNone, BoxButtons::kOkOnly), nullptr);
  EXPECT_EQ(IconOfBox(BoxIcon::kError, BoxButtons::kOkOnly), LoadIconW(nullptr, IDI_ERROR));
  EXPECT_EQ(IconOfBox(BoxIcon::kExclamation, BoxButtons::kOkOnly),
            LoadIconW(nullptr, IDI_EXCLAMATION));
  EXPECT_EQ(IconOfBox(BoxIcon::kInformation, BoxButtons::kOkOnly),
            LoadIconW(nullptr, IDI_INFORMATION));
  EXPECT_EQ(IconOfBox(BoxIcon::kQuestion, BoxButtons::kOkOnly), LoadIconW(nullptr, IDI_QUESTION));
}

}  // namespace
}  // namespace bb::gui
