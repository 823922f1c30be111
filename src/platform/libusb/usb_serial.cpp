#include "platform/libusb/usb_serial.h"

#include <libusb.h>

#include <algorithm>
#include <array>

namespace bb {

namespace {

// A string descriptor is at most 255 bytes: its length, its type, the text.
constexpr int kDescriptorCapacity = 255;
constexpr std::uint32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The text of a string descriptor read into `buffer`, `read` bytes of it.
std::optional<std::span<const std::uint8_t>> DescriptorText(std::span<const std::uint8_t> buffer, int read) {
  if (read < 2 || buffer[1] != LIBUSB_DT_STRING) return std::nullopt;
  // A descriptor says its own length; trust neither it nor the count beyond the other.
  const std::size_t length = std::min<std::size_t>(buffer[0], static_cast<std::size_t>(read));
  if (length < 2) return std::nullopt;
  return buffer.subspan(2, length - 2);
}

}  // namespace

std::string Utf8OfUtf16Le(std::span<const std::uint8_t> text) {
  std::string out;
  const std::size_t units = text.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t unit = text[2 * i] | static_cast<std::uint32_t>(text[2 * i + 1]) << 8;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const std::uint32_t next = text[2 * i + 2] | static_cast<std::uint32_t>(text[2 * i + 3]) << 8;
      if (next >= 0xDC00 && next <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
  }
  return out;
}

std::optional<std::string> ReadUsbSerial(libusb_device_handle* handle) {
  libusb_device_descriptor device{};
  if (libusb_get_device_descriptor(libusb_get_device(handle), &device) != LIBUSB_SUCCESS ||
      device.iSerialNumber == 0) {
    return std::nullopt;
  }
  std::array<std::uint8_t, kDescriptorCapacity> buffer{};
  // String 0 lists the languages the device speaks; its serial is read in the first.
  int read = libusb_get_string_descriptor(handle, 0, 0, buffer.data(), kDescriptorCapacity);
  const std::optional<std::span<const std::uint8_t>> languages = DescriptorText(buffer, read);
  if (!languages || languages->size() < 2) return std::nullopt;
  const auto language = static_cast<std::uint16_t>((*languages)[0] | (*languages)[1] << 8);
  read = libusb_get_string_descriptor(handle, device.iSerialNumber, language, buffer.data(), kDescriptorCapacity);
  const std::optional<std::span<const std::uint8_t>> text = DescriptorText(buffer, read);
  if (!text) return std::nullopt;
  return Utf8OfUtf16Le(*text);
}

}  // namespace bb
