#pragma once

#include <string>
#include <string_view>

namespace bb {

// A libpq connection string (a postgresql:// URI or key=value words) with
// the value of every secret in it (a password in the URI's user part,
// password= and sslpassword=) shown as "***".
std::string MaskConnectionSecrets(std::string_view connection);

// True when the connection string holds such a secret.
bool ConnectionHasSecret(std::string_view connection);

}  // namespace bb
