#pragma once

#include <cstdint>
#include <span>

#include "device/usb_pipes.h"

namespace bb {

// One vendor request each, on the caller's UsbPipes object: open the request
// pipe, one I/O control, close. Return 0, 21 (pipe not opened) or 22 (the I/O
// control failed). The buffer must hold at least wLength bytes; a smaller one
// fails with 22 before anything is sent.
int ControlIn(UsbPipes& pipes, std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex,
              std::uint16_t wLength, std::span<std::uint8_t> buffer);
int ControlOut(UsbPipes& pipes, std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex,
               std::uint16_t wLength, std::span<const std::uint8_t> buffer);
int ControlNoData(UsbPipes& pipes, std::uint8_t bRequest, std::uint16_t wValue,
                  std::uint16_t wIndex);

}  // namespace bb
