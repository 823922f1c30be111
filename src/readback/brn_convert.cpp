#include "readback/brn_convert.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <system_error>

#include "device/status_codes.h"
#include "readback/brn_builder.h"
#include "readback/raw_image.h"
#include "readback/stream_io.h"
#include "util/binary_file.h"
#include "util/paths.h"

namespace bb {

namespace {

// Only a regular file is ours to remove; a device name must survive a failed write.
void RemovePartialFile(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) std::filesystem::remove(path, error);
}

}  // namespace

int ConvertToBrn(const std::string& rawName, const std::string& brnName, std::uint16_t fwFileId,
                 Console& console) {
  if (rawName.empty() || brnName.empty()) return kFileError;
  std::ifstream raw;
  const std::optional<std::uint64_t> rawSize = OpenForReading(rawName, raw);
  if (!rawSize) return kFileError;
  const std::optional<RawImageLayout> layout = ParseRawImage(raw, *rawSize);
  if (!layout) return kFileError;

  std::unique_ptr<std::uint8_t[]> headBuffer;
  std::span<std::uint8_t> head;
  if (layout->hasGroups) {
    // The directory's size is bounded by the raw file's, yet may still not be available.
    const std::uint64_t headSize = BrnHeadSize(*layout);
    headBuffer = AllocateZeroed(headSize);
    if (!headBuffer) return kFileError;
    head = std::span(headBuffer.get(), static_cast<std::size_t>(headSize));
    if (!BuildBrnHead(raw, *layout, fwFileId, head)) return kFileError;
  }

  const std::filesystem::path brnPath = FsPath(brnName);
  // Standard streams take no share modes, so creating the BRN file over the raw
  // image would truncate the image under its own reader.
  std::error_code sameFile;
  if (std::filesystem::equivalent(FsPath(rawName), brnPath, sameFile)) return kFileError;
  std::ofstream brn(brnPath, std::ios::binary | std::ios::trunc);
  if (!brn.is_open()) return kFileError;
  bool written = false;
  if (layout->hasGroups) {
    console.AddLogLine("  CORVANE 2860 BRN Header ...");
    written = WriteGroupedBrn(raw, *layout, head, brn);
  } else {
    console.AddLogLine("  No Header ...");
    written = CopyFileRange(raw, brn, kRawFirmwareOffset, layout->firmwareLength);
  }
  brn.close();
  if (!written || brn.fail()) {
    RemovePartialFile(brnPath);
    return kFileError;
  }
  return kOk;
}

}  // namespace bb
