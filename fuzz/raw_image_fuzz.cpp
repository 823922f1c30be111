// Arbitrary raw images through the conversion. Beyond staying within its
// buffers, a conversion that succeeds on an image with groups must produce a
// BRN file that opens again, unless its firmware part is 8 bytes or shorter.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "platform/console.h"
#include "readback/brn_convert.h"
#include "readback/brn_file.h"
#include "scratch_folder.h"
#include "util/byte_order.h"

namespace {

class SilentConsole final : public bb::Console {
 public:
  void AddLogLine(std::string_view) override {}
  void ClearLog() override {}
  void SetStatusText(std::string_view) override {}
  void SetCaption(std::string_view) override {}
  void RepaintNow() override {}
};

constexpr std::uint16_t kFwFileId = 0x100;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bb::fuzz::ScratchFolder folder;
  const std::string raw = folder.Write("input.raw", data, size);
  const std::string brn = folder.File("output.brn");
  SilentConsole console;
  if (bb::ConvertToBrn(raw, brn, kFwFileId, console) != 0) return 0;

  const std::uint64_t firmwareLength = bb::GetBe32(std::span(data, size), 0);
  const bool hasGroups = size > 4 + firmwareLength;
  bb::BrnHeader header;
  const bool opened = bb::OpenBrnFile(brn, header).has_value();
  if (hasGroups && opened != (firmwareLength > 8)) std::abort();
  return 0;
}
