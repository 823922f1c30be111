#include "basic_auth.h"

#include <cstdint>

namespace bb::cli {

namespace {

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::optional<std::string> Base64Decoded(std::string_view text) {
  while (!text.empty() && text.back() == '=') text.remove_suffix(1);
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    const int value = Sextet(c);
    if (value < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

}  // namespace

std::optional<std::string> BasicPassword(std::string_view header) {
  constexpr std::string_view kScheme = "Basic ";
  if (header.size() < kScheme.size()) return std::nullopt;
  for (std::size_t i = 0; i < kScheme.size(); ++i) {
    if ((header[i] | 0x20) != (kScheme[i] | 0x20)) return std::nullopt;
  }
  header.remove_prefix(kScheme.size());
  while (!header.empty() && header.front() == ' ') header.remove_prefix(1);
  const std::optional<std::string> pair = Base64Decoded(header);
  if (!pair) return std::nullopt;
  const std::size_t colon = pair->find(':');
  if (colon == std::string::npos) return std::nullopt;
  return pair->substr(colon + 1);
}

bool SameToken(std::string_view given, std::string_view token) {
  if (token.empty()) return false;
  unsigned difference = given.size() == token.size() ? 0 : 1;
  for (std::size_t i = 0; i < given.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(token[i % token.size()]);
  }
  return difference == 0;
}

}  // namespace bb::cli
