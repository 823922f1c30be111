#include "config/usb_ids.h"

#include "util/format.h"

namespace bb {

namespace {

std::optional<std::uint16_t> ParseHex16(std::string_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  std::uint16_t value = 0;
  for (const char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = static_cast<std::uint16_t>(value * 16 + digit);
  }
  return value;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<UsbId> ParseUsbId(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::optional<std::uint16_t> vendor = ParseHex16(text.substr(0, colon));
  const std::optional<std::uint16_t> product = ParseHex16(text.substr(colon + 1));
  if (!vendor || !product) return std::nullopt;
  return UsbId{*vendor, *product};
}

std::optional<std::vector<UsbId>> ParseUsbIdList(std::string_view text, std::string& bad) {
  std::vector<UsbId> ids;
  if (Trimmed(text).empty()) return ids;
  for (;;) {
    const std::size_t comma = text.find(',');
    const std::string_view entry = Trimmed(text.substr(0, comma));
    const std::optional<UsbId> id = ParseUsbId(entry);
    if (!id) {
      bad = std::string(entry);
      return std::nullopt;
    }
    ids.push_back(*id);
    if (comma == std::string_view::npos) return ids;
    text.remove_prefix(comma + 1);
  }
}

std::string FormatUsbId(UsbId id) { return Format("%04x:%04x", id.vendor, id.product); }

}  // namespace bb
