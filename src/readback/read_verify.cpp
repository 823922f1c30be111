#include "readback/read_verify.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <fstream>

#include "device/status_codes.h"
#include "readback/brn_convert.h"
#include "util/binary_file.h"
#include "burn/image_files.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

int CompareFiles(const std::string& first, const std::string& second, std::uint64_t& offset) {
  std::ifstream firstFile;
  std::ifstream secondFile;
  const std::optional<std::uint64_t> firstSize = OpenForReading(first, firstFile);
  if (!firstSize) return kFileError;
  const std::optional<std::uint64_t> secondSize = OpenForReading(second, secondFile);
  if (!secondSize) return kFileError;
  offset = 0;
  if (*firstSize > *secondSize) return kFilesDiffer;
  // An empty image matches the start of every file, so it would prove a burn
  // that the camera never gave back.
  if (*firstSize == 0) return kFilesDiffer;

  // Large pieces keep the comparison near the speed of the disk; the result
  // and the offset do not depend on the piece size.
  constexpr std::size_t kPiece = 0x10000;
  std::unique_ptr<std::uint8_t[]> bufferA = AllocateZeroed(kPiece);
  std::unique_ptr<std::uint8_t[]> bufferB = AllocateZeroed(kPiece);
  if (!bufferA || !bufferB) return kNoBuffer;
  std::uint8_t* const a = bufferA.get();
  std::uint8_t* const b = bufferB.get();
  std::uint64_t compared = 0;
  while (compared < *firstSize) {
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, *firstSize - compared));
    // A read that fails part-way proves nothing about the rest: never a match.
    if (!ReadExactly(firstFile, a, piece) || !ReadExactly(secondFile, b, piece)) {
      return kFileError;
    }
    if (std::memcmp(a, b, piece) != 0) {
      offset += static_cast<std::uint64_t>(std::mismatch(a, a + piece, b).first - a);
      return kFilesDiffer;
    }
    compared += piece;
    offset += piece;
  }
  return kOk;
}

int ReadVerify(BurnJob* job, ReadBack& readBack, Console& console, const std::string& folder) {
  if (job == nullptr) return kFailed;
  const std::string base =
      folder.empty() ? job->FwFile : folder + kPathSeparator + std::string(FileNamePart(job->FwFile));
  const std::string raw = base + ".raw";
  const std::string brn = raw + ".brn";
  console.AddLogLine("");
  console.SetStatusText(Format("[Get]: %s", brn.c_str()));
  console.RepaintNow();

  const int read = readBack.ReadResource(raw, ReadPurpose::kVerify);
  if (read != kOk) {
    console.AddLogLine("Read Resource Fail !!!");
    return read;
  }
  const int converted = ConvertToBrn(raw, brn, job->FwFileID, console);
  if (converted != kOk) {
    console.AddLogLine("Convert BRN File Fail !!!");
    return converted;
  }
  std::uint64_t offset = 0;
  const int compared = CompareFiles(brn, job->FwFile, offset);
  console.AddLogLine(compared == kOk ? "Read Verify Success !!!" : "Verify Fail !!!");
  return compared;
}

}  // namespace bb
