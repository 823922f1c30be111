#include "platform/win32/instance_serial.h"

#include <cctype>

namespace bb {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

bool HexDigits(std::string_view text) {
  for (const char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// "VID_0C45&PID_2860" exactly: anything after the ids names an interface of a
// composite device.
bool IsDeviceIds(std::string_view ids) {
  return ids.size() == 17 && StartsWithNoCase(ids, "vid_") && HexDigits(ids.substr(4, 4)) &&
         StartsWithNoCase(ids.substr(8), "&pid_") && HexDigits(ids.substr(13, 4));
}

}  // namespace

std::optional<std::string> SerialOfInstanceId(std::string_view instanceId) {
  constexpr std::string_view kBus = "usb\\";
  if (!StartsWithNoCase(instanceId, kBus)) return std::nullopt;
  const std::string_view rest = instanceId.substr(kBus.size());
  const std::size_t idsEnd = rest.find('\\');
  if (idsEnd == std::string_view::npos || !IsDeviceIds(rest.substr(0, idsEnd))) return std::nullopt;
  const std::string_view instance = rest.substr(idsEnd + 1);
  if (instance.empty() || instance.find_first_of("&\\") != std::string_view::npos) return std::nullopt;
  return std::string(instance);
}

}  // namespace bb
