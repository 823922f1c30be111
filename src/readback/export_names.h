#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bb {

// Where an entry of a BRN file goes, by its id alone: 0x100 into the folder
// itself, ids below 0x80 into its sub directory A, all others into B.
enum class ExportPlace { kFolder, kGroupA, kGroupB };
ExportPlace PlaceOf(std::uint16_t id);

// The files.ini key of an id: "Res_0x%x.res".
std::string ExportKey(std::uint16_t id);

// True for a name that stays inside the folder it is joined to: relative, with
// no drive, no root and no ".." component. files.ini comes with the camera's
// image, not from the operator, and must not write anywhere else.
bool IsContainedName(std::string_view name);

}  // namespace bb
