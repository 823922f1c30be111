#pragma once

#include <cstdint>

namespace bb {

// One vendor request of the camera's command set. wIndex is 0 in every entry;
// procedures that send another index say so.
struct Command {
  std::uint8_t bRequest;
  std::uint16_t wValue;
  std::uint16_t wIndex;
  std::uint16_t wLength;
};

// A command that this camera does not have carries 0xFF and 0xFFFF.
constexpr bool IsAbsent(const Command& command) {
  return command.bRequest == 0xFF && command.wValue == 0xFFFF;
}

// The camera's commands. Data stages and replies are little-endian.
struct CommandTable {
  // Reply: byte 0 the stage, bytes 1-4 the camera's core address.
  static constexpr Command StageQuery{0x70, 0, 0, 5};
  static constexpr Command ApVersionQuery{0x20, 0, 0, 8};
  static constexpr Command IspVersionQuery{0x20, 1, 0, 8};
  static constexpr Command CustomerVersionQuery{0x20, 2, 0, 6};
  // Reply: bit 0 of byte 0 set while the camera is busy.
  static constexpr Command BusyQuery{0x21, 0, 0, 1};
  // Reply: byte 0 write status (0 running, 1 done, other failed), byte 1
  // storage present.
  static constexpr Command WriteStatusQuery{0x21, 4, 0, 2};
  // Data: target address, length in bytes.
  static constexpr Command RamDownloadHeader{0xFD, 0x04F3, 0, 8};
  // Data: DRAM address, ROM address, sector address, length in blocks.
  static constexpr Command IspWriteHeader{0xFD, 0x04F1, 0, 16};
  // Data: device address, length in bytes.
  static constexpr Command ReadRequest{0xFD, 0x04F2, 0, 8};
  // wIndex carries the length in blocks.
  static constexpr Command BlockCountRequest{0x10, 0, 0, 0};
  static constexpr Command StartStorageWrite{0x11, 0, 0, 0};
  // Data: the storage address to write at.
  static constexpr Command RomAddressRequest{0x71, 0, 0, 4};
  // wValue 1 selects the image for an export, 0 for a verify.
  static constexpr Command ReadSelectRequest{0x33, 1, 0, 0};
  static constexpr Command PowerDownRequest{0x34, 0, 0, 0};
  // Reply: bytes 0-3 image size, bytes 4-7 its device address.
  static constexpr Command ReadInfoRequest{0x79, 0x000B, 0, 8};
};

}  // namespace bb
