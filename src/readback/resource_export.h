#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/context.h"
#include "common/platform.h"
#include "common/window_state.h"
#include "platform/native_file.h"
#include "readback/brn_layout.h"
#include "readback/read_back.h"

namespace bb {

// Exports the camera's image as files: the raw image and its BRN file, then
// each BRN entry under the name that the folder's files.ini gives it.
// User-interface thread only.
class ResourceExport {
 public:
  ResourceExport(Platform& platform, Context& context, WindowState& window, ReadBack& readBack);

  // The read-back's second stage; its outcome is in the log.
  void GetResourceFiles();
  // The folder the operator chose (remembered in the job), or empty.
  std::string ChooseReadFolder();
  // The export's last stage, for the window and the command-line program alike:
  // the sub directories A and B, then every entry of the BRN file. Logs the
  // outcome; true when it logged success. No entry may be the BRN file itself
  // or `rawName`, the raw image a read-back made it from (when given): an
  // entry that is one of them stops the walk.
  bool ExportToFolder(const std::string& brnName, const std::string& folder,
                      const std::string& rawName = {});
  // 0; 2 when a name is missing or the file is not a BRN file; -1 when its
  // directory lacks the end mark or ends where no 32-bit offset reaches, or an
  // existing file was not to be replaced.
  int ExportBrnFile(const std::string& brnName, const std::string& folder,
                    const std::string& rawName = {});
  int ExportEntries(NativeFile& brn, const std::string& folder, std::uint64_t directoryOffset,
                    const BrnHeader& header, std::span<const FileIdentity> inputs);
  // The entry's output path inside the folder of its place (the folder itself,
  // A or B); empty when files.ini names a place outside it or a device.
  std::string ExportFileName(const std::string& listFile, std::uint16_t id);
  // 0, or 2 when the output file `relative` inside `folder` cannot be created
  // (also when it would go through a link, or is one of `inputs`) or written.
  int WriteFileRange(NativeFile& brn, const NativeFolder& folder, const std::string& relative,
                     std::uint64_t offset, std::uint64_t size, std::span<const FileIdentity> inputs);

 private:
  // A stop inside the walk is reported in a box; the walk returns 0 anyway.
  void ShowStop(const char* text);
  // The question before existing files are overwritten; true for yes.
  bool AgreeToOverwrite();
  // Whether the entry file at `path` may be written: unless the window asks
  // before replacing, or it was told yes, or there is none yet, the question.
  bool MayReplace(const std::string& path);

  Platform& platform_;
  Context& context_;
  WindowState& window_;
  ReadBack& readBack_;
  // Yes to the overwrite question of this read-back.
  bool overwriteAgreed_ = false;
};

}  // namespace bb
