#include "readback/export_names.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "util/format.h"
#include "util/paths.h"

namespace bb {

ExportPlace PlaceOf(std::uint16_t id) {
  if (id == 0x100) return ExportPlace::kFolder;
  return id < 0x80 ? ExportPlace::kGroupA : ExportPlace::kGroupB;
}

std::string ExportKey(std::uint16_t id) { return Format("Res_0x%x.res", static_cast<unsigned>(id)); }

bool IsReservedDeviceName(std::string_view component) {
  // Windows cuts an extension and trailing dots and blanks before it looks.
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.remove_suffix(1);
  std::string upper(base);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  static constexpr std::array<std::string_view, 6> kPlain{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kPlain.begin(), kPlain.end(), upper) != kPlain.end()) return true;
  if (!upper.starts_with("COM") && !upper.starts_with("LPT")) return false;
  // Windows also takes the superscript digits one to three (in UTF-8 here) as
  // port numbers.
  static constexpr std::array<std::string_view, 3> kSuperscripts{"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};
  const std::string_view number = std::string_view(upper).substr(3);
  if (number.size() == 1) return number[0] >= '0' && number[0] <= '9';
  return std::find(kSuperscripts.begin(), kSuperscripts.end(), number) != kSuperscripts.end();
}

bool IsContainedName(std::string_view name) {
  if (name.empty() || IsPathSeparator(name.front())) return false;
  if (name.find(':') != std::string_view::npos) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsPathSeparator(name[end])) ++end;
    const std::string_view part = name.substr(start, end - start);
    if (part == ".." || IsReservedDeviceName(part)) return false;
    // Windows drops trailing dots and blanks, so "..." and ".. " climb too.
    if (!part.empty() && part.find_first_not_of(". ") == std::string_view::npos && part.size() > 1) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace bb
