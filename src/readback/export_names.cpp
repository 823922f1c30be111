#include "readback/export_names.h"

#include "util/format.h"
#include "util/paths.h"

namespace bb {

ExportPlace PlaceOf(std::uint16_t id) {
  if (id == 0x100) return ExportPlace::kFolder;
  return id < 0x80 ? ExportPlace::kGroupA : ExportPlace::kGroupB;
}

std::string ExportKey(std::uint16_t id) { return Format("Res_0x%x.res", static_cast<unsigned>(id)); }

bool IsContainedName(std::string_view name) {
  if (name.empty() || IsPathSeparator(name.front())) return false;
  if (name.find(':') != std::string_view::npos) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsPathSeparator(name[end])) ++end;
    const std::string_view part = name.substr(start, end - start);
    if (part == "..") return false;
    // Windows drops trailing dots and blanks, so "..." and ".. " climb too.
    if (!part.empty() && part.find_first_not_of(". ") == std::string_view::npos && part.size() > 1) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace bb
