#include "serve_address.h"

#include <charconv>

namespace bb::cli {

namespace {

bool IsLoopback(const std::string& host) {
  if (host == "localhost" || host == "::1") return true;
  if (!host.starts_with("127.")) return false;
  int dots = 0;
  for (const char c : host) {
    if (c == '.') ++dots;
    else if (c < '0' || c > '9') return false;
  }
  return dots == 3;
}

}  // namespace

std::optional<ServeAddress> ParseServeAddress(const std::string& text, std::string& error) {
  ServeAddress address{"127.0.0.1", 0, true};
  std::string portText = text;
  const std::size_t colon = text.rfind(':');
  if (colon != std::string::npos) {
    address.host = text.substr(0, colon);
    portText = text.substr(colon + 1);
    if (address.host.size() >= 2 && address.host.front() == '[' && address.host.back() == ']') {
      address.host = address.host.substr(1, address.host.size() - 2);
    } else if (address.host.find(':') != std::string::npos) {
      address.host.clear();  // an IPv6 address needs its brackets
    }
  }
  int port = -1;
  const char* end = portText.data() + portText.size();
  const auto [stop, problem] = std::from_chars(portText.data(), end, port);
  if (address.host.empty() || portText.empty() || problem != std::errc() || stop != end || port < 0 ||
      port > 65535) {
    error = "--serve takes [ADDRESS:]PORT (a port from 0 to 65535; an IPv6 address in brackets), not " + text;
    return std::nullopt;
  }
  address.port = port;
  address.loopback = IsLoopback(address.host);
  return address;
}

std::string ServeUrl(const ServeAddress& address, int port, bool tls) {
  const bool v6 = address.host.find(':') != std::string::npos;
  return std::string(tls ? "https://" : "http://") + (v6 ? "[" + address.host + "]" : address.host) + ":" +
         std::to_string(port) + "/";
}

}  // namespace bb::cli
