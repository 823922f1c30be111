#pragma once

#include <cstddef>
#include <string_view>

#include "platform/prompts.h"

namespace bb {

// The three paths of the file-selection dialog, in the order of its rows.
enum class JobFileRow { kParameter, kCore, kFirmware };

// The dialog keeps each path to this many bytes, so that with its terminator it
// fits the 260-byte paths of the job and of Isp.ini.
inline constexpr std::size_t kJobFileTextLimit = 255;

bool FitsJobFileLimit(std::string_view path);

// The open-file dialog of a row's browse button, opened on the path stored for
// the row: its folder is the path cut after its last "\", or the whole path.
OpenFileRequest BrowseRequest(JobFileRow row, std::string_view storedPath);

}  // namespace bb
