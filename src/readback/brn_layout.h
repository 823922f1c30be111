#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace bb {

// The header starts with "CORVANE 2860" and is compared as a terminated
// string, so byte 12 must be 0; bytes 13 to 15 are not looked at.
inline constexpr std::size_t kBrnMagicSize = 12;
inline constexpr std::array<std::uint8_t, 16> kBrnTag{'C', 'O', 'R', 'V', 'A', 'N', 'E', ' ',
                                                      '2', '8', '6', '0', 0, 0, 0, 0};
// Closes the directory.
inline constexpr std::array<std::uint8_t, 2> kBrnEndMark{0x24, 0x6D};
// The file's last two bytes.
inline constexpr std::array<std::uint8_t, 2> kBrnTrailer{0x7F, 0x7E};

// The 32 bytes at the start of a BRN file. A default header carries the magic
// and zero counts, ready to be filled in for writing.
struct BrnHeader {
  static constexpr std::size_t kSize = 32;

  std::array<std::uint8_t, 16> tag = kBrnTag;
  std::uint32_t countA = 0;
  std::uint32_t countB = 0;
  std::uint32_t dataA = 0;
  std::uint32_t dataB = 0;

  bool HasMagic() const;
  std::array<std::uint8_t, kSize> Encode() const;
  static BrnHeader Decode(std::span<const std::uint8_t, kSize> bytes);
};

// One directory slot: the entry's data lies at `offset` from the start of the
// BRN file. In a raw image the offset field is carried but not used.
struct BrnEntry {
  static constexpr std::size_t kSize = 10;

  std::uint16_t id = 0;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;

  void EncodeAt(std::span<std::uint8_t> out, std::size_t at) const;
  static BrnEntry DecodeAt(std::span<const std::uint8_t> in, std::size_t at);
};

// Directory entries: both groups plus the firmware entry. Counted in 64 bits so
// that no header, however damaged, makes the count wrap to a small number.
std::uint64_t EntryCount(const BrnHeader& header);

}  // namespace bb
