#pragma once

#include <windows.h>

#include "platform/process_info.h"

namespace bb::win {

// Runs the about box modally over `owner`, showing the product version.
void ShowAbout(HINSTANCE instance, HWND owner, const ProductVersion& version);

}  // namespace bb::win
