#include "readback/brn_convert.h"

#include <optional>
#include <span>

#include "device/status_codes.h"
#include "platform/native_file.h"
#include "readback/brn_builder.h"
#include "readback/raw_image.h"

namespace bb {

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

  // Creating the BRN file over the raw image would empty the image under its
  // own reader.
  const std::optional<FileIdentity> rawIdentity = raw->Identity();
  if (!rawIdentity) return kFileError;
  std::optional<NativeFile> brn = NativeFile::Create(brnName, std::span(&*rawIdentity, 1));
  if (!brn) return kFileError;
  bool written = false;
  if (layout->hasGroups) {
    console.AddLogLine("  CORVANE 2860 BRN Header ...");
    written = WriteGroupedBrn(*raw, *layout, fwFileId, *brn);
  } else {
    console.AddLogLine("  No Header ...");
    written = brn->CopyFrom(*raw, kRawFirmwareOffset, layout->firmwareLength);
  }
  if (!written || !brn->Close()) {
    brn->Remove();
    return kFileError;
  }
  return kOk;
}

}  // namespace bb
