#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "common/burn_job.h"
#include "common/shared_image.h"
#include "util/sha256.h"

namespace bb {

// What the main window keeps between operations.
struct WindowState {
  BurnJob job;
  // "Param Only" as the last file-selection dialog left it.
  bool paramOnly = false;
  // Where a read verify keeps the image it read back: empty for beside the
  // firmware file. Sessions that burn side by side each need their own.
  std::string verifyFolder;
  // The export asks before it replaces any file, not only the raw image and
  // its BRN file: what it writes came from elsewhere.
  bool askBeforeReplacing = false;
  // Each job image as the run going on read it, by its file key (ParamFile,
  // IspFile, FwFile): the SHA-256 and size of the bytes it sent, or of the
  // file as its pin check read it before sending. A run starts with none.
  std::map<std::string, FileDigest, std::less<>> imagesRead;
  // The job's images as a station read them for all its sessions: a run
  // sends these bytes rather than read the files again. None: each run reads
  // its own.
  std::shared_ptr<const SharedImages> sharedImages;
  // The SHA-256 and size of the image that the run going on read back from
  // the camera into its raw file, hashed as it arrived.
  std::optional<FileDigest> readBack;
};

}  // namespace bb
