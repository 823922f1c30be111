#pragma once

#include <cstddef>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

#include "common/burn_job.h"
#include "platform/prompts.h"

namespace bb {

// The path that the job stores for a path value of the configuration file: a
// drive path (or, on POSIX, an absolute path) as it is, anything else reduced to
// its last component in the executable's folder. Returns 0, or -1 when the
// result would not fit in `capacity` bytes with its terminator (the destination
// then stays as it was).
int ResolveImagePath(std::string_view source, std::string& destination, std::size_t capacity,
                     std::string_view executableFolder);

// The part after the last "\" or "/"; the first character never counts as a
// separator.
std::string_view FileNamePart(std::string_view path);

// True when the file is a regular file that can be opened for reading; a
// FIFO or a device counts as missing, and is not waited for.
bool FileExists(const std::string& path);

// 0 when the job's three files exist; 1 after a message box (titled with the
// application's name) for the first one missing; -1 for a controller other than
// the VEXA2860.
int CheckJobFiles(std::int32_t controllerCode, const BurnJob& job, Prompts& prompts,
                  std::string_view applicationName);

// Turns "CORV604.BIN" in `folder` into the 128 KiB "VuVED3038.bin" there; each
// file that cannot be opened is reported on `out` as "file open fail".
void ConvertStartupImage(const std::filesystem::path& folder, std::ostream& out);

}  // namespace bb
