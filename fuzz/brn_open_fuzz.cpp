// Arbitrary files offered as BRN files. Whatever opens must hold its whole
// directory and end mark, since the export reads them on that promise.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "readback/brn_file.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bb::fuzz::ScratchFolder folder;
  bb::BrnHeader header;
  const auto file = bb::OpenBrnFile(folder.Write("input.brn", data, size), header);
  if (!file) return 0;
  const std::uint64_t directoryEnd =
      bb::BrnHeader::kSize + bb::EntryCount(header) * bb::BrnEntry::kSize + bb::kBrnEndMark.size();
  if (directoryEnd > size) std::abort();
  return 0;
}
