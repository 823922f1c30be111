#include "history_filter.h"

#include <charconv>
#include <tuple>

#include "local_time.h"
#include "util/sha256.h"

namespace bb::cli {

bool FilterOf(const HistoryOptions& history, std::int64_t nowUtcMs, RunFilter& filter, std::string& error) {
  filter.serial = history.serial;
  filter.station = history.station;
  filter.slot = history.slot;
  filter.result = history.result;
  for (const auto& [text, end, into] : {std::tuple{&history.since, false, &filter.sinceUtcMs},
                                        std::tuple{&history.until, true, &filter.untilUtcMs}}) {
    if (text->empty()) continue;
    *into = ParseLocalMoment(*text, end, nowUtcMs);
    if (!*into) {
      error = (end ? "--until" : "--since") + std::string(" takes YYYY-MM-DD, \"YYYY-MM-DD HH:MM[:SS]\", "
                                                          "today or yesterday, not ") + *text;
      return false;
    }
  }
  if (!history.firmware.empty()) {
    filter.firmware = ParseSha256(history.firmware);
    if (!filter.firmware) {
      error = "--firmware takes a SHA-256 of 64 hex digits, not " + history.firmware;
      return false;
    }
  }
  if (!history.limit.empty()) {
    const char* end = history.limit.data() + history.limit.size();
    const auto [stop, problem] = std::from_chars(history.limit.data(), end, filter.limit);
    if (problem != std::errc() || stop != end || filter.limit == 0) {
      error = "--limit takes a whole number from 1, not " + history.limit;
      return false;
    }
  }
  return true;
}

}  // namespace bb::cli
