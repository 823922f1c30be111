#pragma once

#include <cstdint>
#include <string>

#include "cli_options.h"
#include "platform/profile.h"
#include "station/line_forwarder.h"

namespace bb::cli {

// The line's database, as [Line] of Isp.ini and --line URI give it.
struct LineSettings {
  // A libpq connection string (postgresql://...); empty: no line.
  std::string database;
  // The longest any wait on the server may take (TimeoutMs).
  std::uint32_t timeoutMs = 10000;
  // RetryMs: the first pause after a failure, doubled each time up to five minutes.
  ForwarderPace pace;
};

// Reads [Line] (Database, TimeoutMs, RetryMs); --line URI takes Database's
// place. False with the reason (exit 2) when a value cannot be used: a
// password in the connection string, which would stand in the process list
// and the configuration; it belongs in the file PGPASSFILE names.
bool ReadLineSettings(const Options& options, Profile& profile, const std::string& iniPath, LineSettings& settings,
                      std::string& error);

// The connection string of [Line] Database as read, for `config`; empty when none.
std::string ConfiguredLine(Profile& profile, const std::string& iniPath);

}  // namespace bb::cli
