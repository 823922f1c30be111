#pragma once

#include <optional>
#include <string>

namespace bb::cli {

// Where `station --serve` listens.
struct ServeAddress {
  std::string host;
  // 0: a free port the system chooses.
  int port = 0;
  // Only this machine can reach it: 127.0.0.0/8, ::1 or localhost.
  bool loopback = true;
};

// "PORT", "ADDRESS:PORT" or "[IPV6]:PORT"; without an address, the IPv4
// loopback. nullopt with the reason in `error` for anything else.
std::optional<ServeAddress> ParseServeAddress(const std::string& text, std::string& error);

// The address as a browser opens it: http://127.0.0.1:8080/.
std::string ServeUrl(const ServeAddress& address, int port, bool tls);

}  // namespace bb::cli
