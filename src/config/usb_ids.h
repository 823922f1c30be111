#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/usb_id.h"

namespace bb {

// "1234:5678": hexadecimal vendor and product, one to four digits each.
std::optional<UsbId> ParseUsbId(std::string_view text);

// A comma-separated list of ids, blanks allowed around each; an empty text is
// an empty list. nullopt, with the entry that is not an id in `bad`, when one
// entry cannot be read.
std::optional<std::vector<UsbId>> ParseUsbIdList(std::string_view text, std::string& bad);

std::string FormatUsbId(UsbId id);

}  // namespace bb
