#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/usb_id.h"

namespace bb::cli {

// The udev rule file for these camera ids: the template's comment lines as
// they are, and its rule line once for each id.
std::string UdevRuleFor(std::string_view ruleTemplate, const std::vector<UsbId>& ids);

}  // namespace bb::cli
