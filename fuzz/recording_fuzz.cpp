// Arbitrary bytes as a session recording. Beyond staying within its buffers
// and limits, the reader must say why it refuses a file, and a file it accepts
// in the current format must be exactly what the writer's encoding makes of
// what was read: one file, one reading. A file of an older format version must
// come out of the writer as a current file that reads back to the same bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/record/recording_format.h"

namespace {

std::vector<std::uint8_t> Encode(const bb::record::Recording& recording) {
  std::vector<std::uint8_t> bytes = bb::record::EncodePreamble();
  const auto append = [&bytes](const std::vector<std::uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
  };
  append(bb::record::EncodeHeader(recording.header));
  for (const bb::record::Call& call : recording.calls) append(bb::record::EncodeCall(call));
  bb::Sha256 written;
  written.Update(bytes);
  append(bb::record::EncodeEnd(recording.exitStatus, written));
  return bytes;
}

bool Same(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  std::string error;
  const std::optional<bb::record::Recording> recording = bb::record::ParseRecording(input, error);
  if (!recording) {
    if (error.empty()) std::abort();
    return 0;
  }
  const std::vector<std::uint8_t> again = Encode(*recording);
  if (recording->formatVersion == bb::record::kFormatVersion) {
    if (!Same(again, input)) std::abort();
    return 0;
  }
  const std::optional<bb::record::Recording> upgraded = bb::record::ParseRecording(again, error);
  if (!upgraded || upgraded->formatVersion != bb::record::kFormatVersion) std::abort();
  if (!Same(Encode(*upgraded), again)) std::abort();
  return 0;
}
