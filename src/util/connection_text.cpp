#include "util/connection_text.h"

#include <algorithm>
#include <cctype>

namespace bb {

namespace {

constexpr char kMask[] = "***";

bool IsSecretKey(std::string_view key) { return key == "password" || key == "sslpassword"; }

bool StartsWithCaseless(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// The URI with its user part's password and its secret parameters masked;
// `found` tells whether there was one.
std::string MaskUri(std::string_view uri, std::size_t afterScheme, bool& found) {
  std::string shown(uri.substr(0, afterScheme));
  const std::string_view rest = uri.substr(afterScheme);
  const std::size_t authorityEnd = std::min(rest.find('/'), rest.find('?'));
  const std::string_view authority = rest.substr(0, authorityEnd);
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos && authority.substr(0, at).find(':') != std::string_view::npos) {
    found = true;
    shown.append(authority.substr(0, authority.find(':') + 1)).append(kMask).append(authority.substr(at));
  } else {
    shown.append(authority);
  }
  if (authorityEnd == std::string_view::npos) return shown;
  std::string_view tail = rest.substr(authorityEnd);
  const std::size_t question = tail.find('?');
  shown.append(tail.substr(0, question == std::string_view::npos ? tail.size() : question + 1));
  if (question == std::string_view::npos) return shown;
  tail.remove_prefix(question + 1);
  bool first = true;
  while (!tail.empty() || first) {
    const std::size_t amp = tail.find('&');
    const std::string_view pair = tail.substr(0, amp);
    tail = amp == std::string_view::npos ? std::string_view() : tail.substr(amp + 1);
    if (!first) shown += '&';
    first = false;
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && IsSecretKey(pair.substr(0, equals))) {
      found = true;
      shown.append(pair.substr(0, equals + 1)).append(kMask);
    } else {
      shown.append(pair);
    }
    if (amp == std::string_view::npos) break;
  }
  return shown;
}

// key = value words, a value plain or in single quotes with \ escapes.
std::string MaskWords(std::string_view words, bool& found) {
  std::string shown;
  std::size_t i = 0;
  while (i < words.size()) {
    if (std::isspace(static_cast<unsigned char>(words[i]))) {
      shown += words[i++];
      continue;
    }
    const std::size_t keyStart = i;
    while (i < words.size() && words[i] != '=' && !std::isspace(static_cast<unsigned char>(words[i]))) ++i;
    const std::string_view key = words.substr(keyStart, i - keyStart);
    shown.append(key);
    while (i < words.size() && words[i] != '=') shown += words[i++];
    if (i < words.size()) shown += words[i++];
    while (i < words.size() && std::isspace(static_cast<unsigned char>(words[i]))) shown += words[i++];
    const std::size_t valueStart = i;
    if (i < words.size() && words[i] == '\'') {
      for (++i; i < words.size() && words[i] != '\''; ++i) {
        if (words[i] == '\\') ++i;
      }
      if (i < words.size()) ++i;
    } else {
      while (i < words.size() && !std::isspace(static_cast<unsigned char>(words[i]))) ++i;
    }
    if (IsSecretKey(key)) {
      found = true;
      shown += kMask;
    } else {
      shown.append(words.substr(valueStart, i - valueStart));
    }
  }
  return shown;
}

std::string Mask(std::string_view connection, bool& found) {
  found = false;
  for (std::string_view scheme : {"postgresql://", "postgres://"}) {
    if (StartsWithCaseless(connection, scheme)) return MaskUri(connection, scheme.size(), found);
  }
  return MaskWords(connection, found);
}

}  // namespace

std::string MaskConnectionSecrets(std::string_view connection) {
  bool found = false;
  return Mask(connection, found);
}

bool ConnectionHasSecret(std::string_view connection) {
  bool found = false;
  Mask(connection, found);
  return found;
}

}  // namespace bb
