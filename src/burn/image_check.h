#pragma once

#include <optional>

#include "common/job_images.h"
#include "platform/console.h"
#include "util/sha256.h"

namespace bb {

// What a run demands of an image before any of it goes to the camera: the
// file is not empty and, where the configuration pins it, its SHA-256 is the
// pinned one (a pin that is not 64 hex digits stops the run as well). Logs
// why and returns false when the run must stop. A file that cannot be opened
// and is not pinned is left to the transfer that would send it, which
// reports it as it always has. `hashed` is the SHA-256 and size of the file
// where the check read it whole (a pinned file), else nullopt.
bool CheckImageFile(const JobImage& image, Console& console, std::optional<FileDigest>& hashed);

// The same demands on the bytes read for sending, given by the digest taken
// as they were read, so that the bytes sent are bytes that were checked: a
// file that changed after its check is not sent.
bool CheckImageDigest(const JobImage& image, const FileDigest& read, Console& console);

}  // namespace bb
