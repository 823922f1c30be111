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
// no drive, no root, no ".." component and no component that Windows takes for
// a device. files.ini comes with the camera's image, not from the operator, and
// must not write anywhere else.
bool IsContainedName(std::string_view name);

// True for a name that Windows opens as a device wherever it stands: CON, PRN,
// AUX, NUL, CONIN$, CONOUT$, COM0 to COM9, LPT0 to LPT9 and COM or LPT with a
// superscript 1, 2 or 3, in any case, with or without an extension, with
// trailing dots or blanks. Refused on every system, since a
// files.ini written on one is used on the other.
bool IsReservedDeviceName(std::string_view component);

}  // namespace bb
