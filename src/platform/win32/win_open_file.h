#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/prompts.h"

namespace bb {

// The open-file common dialog for an existing file, owned by `owner`. The
// chosen path has at most 259 characters, as the dialog's buffer allows.
std::optional<std::string> ShowOpenFileDialog(HWND owner, const OpenFileRequest& request);

}  // namespace bb
