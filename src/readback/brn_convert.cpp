#include "readback/brn_convert.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "device/status_codes.h"
#include "platform/native_file.h"
#include "readback/brn_builder.h"
#include "readback/raw_image.h"
#include "util/paths.h"

namespace bb {

namespace {

// Only a regular file is ours to remove; a device name must survive a failed write.
void RemovePartialFile(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error))) {
    std::filesystem::remove(path, error);
  }
}

}  // namespace

int ConvertToBrn(const std::string& rawName, const std::string& brnName, std::uint16_t fwFileId,
                 Console& console) {
  if (rawName.empty() || brnName.empty()) return kFileError;
  std::optional<NativeFile> raw = NativeFile::OpenForReading(rawName);
  if (!raw) return kFileError;
  const std::optional<std::uint64_t> rawSize = raw->Size();
  if (!rawSize) return kFileError;
  const std::optional<RawImageLayout> layout = ParseRawImage(*raw, *rawSize);
  if (!layout) return kFileError;
  if (layout->hasGroups && !BrnOffsetsFit(*raw, *layout)) return kFileError;

  const std::filesystem::path brnPath = FsPath(brnName);
  // Creating the BRN file over the raw image would empty the image under its
  // own reader.
  std::error_code sameFile;
  if (std::filesystem::equivalent(FsPath(rawName), brnPath, sameFile)) return kFileError;
  std::optional<NativeFile> brn = NativeFile::Create(brnName);
  if (!brn) return kFileError;
  bool written = false;
  if (layout->hasGroups) {
    console.AddLogLine("  CORVANE 2860 BRN Header ...");
    written = WriteGroupedBrn(*raw, *layout, fwFileId, *brn);
  } else {
    console.AddLogLine("  No Header ...");
    written = brn->CopyFrom(*raw, kRawFirmwareOffset, layout->firmwareLength);
  }
  if (!brn->Close() || !written) {
    RemovePartialFile(brnPath);
    return kFileError;
  }
  return kOk;
}

}  // namespace bb
