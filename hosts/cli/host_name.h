#pragma once

#include <string>

namespace bb::cli {

// The machine's name, for a station that is given none; "station" when the
// system does not tell it.
std::string HostName();

}  // namespace bb::cli
