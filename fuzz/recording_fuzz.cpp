// Arbitrary bytes as a session recording. Beyond staying within its buffers
// and limits, the reader must say why it refuses a file, and a file it accepts
// must be exactly what the writer's encoding makes of what was read: one file,
// one reading.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "platform/record/recording_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  std::string error;
  const std::optional<bb::record::Recording> recording = bb::record::ParseRecording(input, error);
  if (!recording) {
    if (error.empty()) std::abort();
    return 0;
  }
  std::vector<std::uint8_t> again = bb::record::EncodePreamble();
  const auto append = [&again](const std::vector<std::uint8_t>& bytes) {
    again.insert(again.end(), bytes.begin(), bytes.end());
  };
  append(bb::record::EncodeHeader(recording->header));
  for (const bb::record::Call& call : recording->calls) append(bb::record::EncodeCall(call));
  bb::Sha256 written;
  written.Update(again);
  append(bb::record::EncodeEnd(recording->exitStatus, written));
  if (!std::equal(again.begin(), again.end(), input.begin(), input.end())) std::abort();
  return 0;
}
