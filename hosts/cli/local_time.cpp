#include "local_time.h"

#include <ctime>

#include "util/format.h"

namespace bb::cli {

namespace {

bool ToLocal(std::time_t seconds, std::tm& local) {
#if defined(_WIN32)
  return localtime_s(&local, &seconds) == 0;
#else
  return localtime_r(&seconds, &local) != nullptr;
#endif
}

bool Digits(const std::string& text, std::size_t at, std::size_t count, int& value) {
  if (text.size() < at + count) return false;
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// The local midnight that starts the day of `utcMs`, `days` later.
std::optional<std::int64_t> Midnight(std::int64_t utcMs, int days) {
  const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
  std::tm local{};
  if (!ToLocal(seconds, local)) return std::nullopt;
  local.tm_hour = local.tm_min = local.tm_sec = 0;
  local.tm_mday += days;
  local.tm_isdst = -1;
  const std::time_t start = std::mktime(&local);
  if (start == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(start) * 1000;
}

}  // namespace

std::optional<std::int64_t> ParseLocalMoment(const std::string& text, bool end, std::int64_t nowUtcMs) {
  if (text == "today") return Midnight(nowUtcMs, end ? 1 : 0);
  if (text == "yesterday") return Midnight(nowUtcMs, end ? 0 : -1);
  std::tm local{};
  int year = 0, month = 0, day = 0;
  if (!Digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || text[7] != '-' ||
      !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day)) {
    return std::nullopt;
  }
  const bool dayOnly = text.size() == 10;
  if (!dayOnly) {
    const bool minutes = text.size() == 16, seconds = text.size() == 19;
    if ((!minutes && !seconds) || (text[10] != ' ' && text[10] != 'T') || text[13] != ':' ||
        !Digits(text, 11, 2, local.tm_hour) || !Digits(text, 14, 2, local.tm_min) ||
        (seconds && (text[16] != ':' || !Digits(text, 17, 2, local.tm_sec))) || local.tm_hour > 23 ||
        local.tm_min > 59 || local.tm_sec > 59) {
      return std::nullopt;
    }
  }
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_isdst = -1;
  std::tm checked = local;
  const std::time_t start = std::mktime(&checked);
  // mktime carries a 31st of April into May: such a day does not exist.
  if (start == static_cast<std::time_t>(-1) || checked.tm_mday != day || checked.tm_mon != month - 1) {
    return std::nullopt;
  }
  const std::int64_t ms = static_cast<std::int64_t>(start) * 1000;
  return dayOnly && end ? Midnight(ms, 1) : std::optional<std::int64_t>(ms);
}

std::string LocalTimeText(std::int64_t utcMs) {
  const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
  std::tm local{};
  if (!ToLocal(seconds, local)) return "?";
  return Format("%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
}

}  // namespace bb::cli
