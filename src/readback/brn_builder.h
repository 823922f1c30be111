#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <span>

#include "readback/raw_image.h"

namespace bb {

// Turning a parsed raw image with groups into BRN bytes. The head (header,
// directory, end mark) is built in memory first, so that an image refused here
// never leaves a BRN file behind.

// Bytes of the head: 32 + 10 x (1 + countA + countB) + 2.
std::uint64_t BrnHeadSize(const RawImageLayout& layout);

// Fills `head`, BrnHeadSize bytes: the group entries keep their ids and sizes,
// their offsets follow the sizes from the first data byte on, and the firmware
// entry (fwFileId, L bytes) comes last. Refuses when an entry cannot be read or
// when sizes push an offset past its 32-bit field, which would point it at
// unrelated data.
bool BuildBrnHead(std::istream& raw, const RawImageLayout& layout, std::uint16_t fwFileId,
                  std::span<std::uint8_t> head);

// Writes the head, group A's data, group B's data, the firmware part and the
// trailer. False when any read or write comes up short.
bool WriteGroupedBrn(std::istream& raw, const RawImageLayout& layout,
                     std::span<const std::uint8_t> head, std::ostream& brn);

}  // namespace bb
