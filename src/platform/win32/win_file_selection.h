#pragma once

#include <windows.h>

#include <string>

#include "platform/prompts.h"

namespace bb {

// The file-selection dialog from the dialog template `templateId`, run
// modally over `owner`. True when confirmed with "OK": `files` then holds the
// three paths; `files.paramOnly` holds the "Param Only" check either way.
// `applicationName` titles the box that refuses an over-long path.
bool RunFileSelectionDialog(HINSTANCE instance, int templateId, HWND owner,
                            const std::string& applicationName, JobFileChoice& files);

}  // namespace bb
