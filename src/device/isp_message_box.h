#pragma once

#include <string_view>

#include "platform/prompts.h"

namespace bb {

// The text that belongs to a device code, or empty when the code has none.
std::string_view ErrorText(int code);

// Shows a device error (or, for code 0, a plain notice) in an owner-less box
// titled "Corvane ISP" and returns the code.
int IspMessageBox(Prompts& prompts, int code, std::string_view text);

}  // namespace bb
