#include "device/device_serial.h"

namespace bb {

namespace {

// The byte length of the UTF-8 sequence that `lead` starts, trusting nothing
// beyond the text's end.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length > text.size() - at) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

}  // namespace

std::string BoundedSerial(std::string_view serial) {
  std::size_t units = 0;
  std::size_t at = 0;
  while (at < serial.size()) {
    const std::size_t length = SequenceLength(serial, at);
    // Characters beyond the basic plane take two UTF-16 units.
    const std::size_t needed = length == 4 ? 2 : 1;
    if (units + needed > kMaxSerialUnits) break;
    units += needed;
    at += length;
  }
  return std::string(serial.substr(0, at));
}

}  // namespace bb
