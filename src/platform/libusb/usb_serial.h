#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct libusb_device_handle;

namespace bb {

// The device's serial number string (iSerialNumber) in its first language,
// as UTF-8; nullopt when it has none or it cannot be read.
std::optional<std::string> ReadUsbSerial(libusb_device_handle* handle);

// A string descriptor's UTF-16LE text as UTF-8; a lone surrogate becomes
// U+FFFD, as a string from a device may hold anything.
std::string Utf8OfUtf16Le(std::span<const std::uint8_t> text);

}  // namespace bb
