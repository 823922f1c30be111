#pragma once

#include <string>
#include <string_view>

#include "platform/process_info.h"

namespace bb {

// The folder of the running executable: its full path cut at the last "\" or
// "/". Empty when the path cannot be had.
std::string ComputeExecutableFolder(ProcessInfo& process);

// The executable's product version; both words 0 when it cannot be read.
ProductVersion ReadProductVersion(ProcessInfo& process);

// "ISP 2860 [5.5.2]", or with the revision when it is not 0.
std::string MainCaption(const ProductVersion& version);

}  // namespace bb
