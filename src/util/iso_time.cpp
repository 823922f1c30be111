#include "util/iso_time.h"

#include <charconv>
#include <chrono>

#include "util/format.h"

namespace bb {

namespace {

// The digits of `text` from `at`, all of them, as a number.
std::optional<int> DigitsAt(std::string_view text, std::size_t at, std::size_t count) {
  if (text.size() < at + count) return std::nullopt;
  int value = 0;
  const char* begin = text.data() + at;
  const auto [end, problem] = std::from_chars(begin, begin + count, value);
  if (problem != std::errc() || end != begin + count) return std::nullopt;
  for (std::size_t i = 0; i < count; ++i) {
    if (begin[i] < '0' || begin[i] > '9') return std::nullopt;
  }
  return value;
}

}  // namespace

std::string IsoUtc(std::int64_t utcMs) {
  using namespace std::chrono;
  const sys_time<milliseconds> time{milliseconds(utcMs)};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  return Format("%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()),
                static_cast<int>(clock.subseconds().count()));
}

std::optional<std::int64_t> ParseIsoUtc(std::string_view text) {
  using namespace std::chrono;
  if (text.size() < 20 || text.back() != 'Z' || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
      text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  const auto year = DigitsAt(text, 0, 4), month = DigitsAt(text, 5, 2), day = DigitsAt(text, 8, 2);
  const auto hour = DigitsAt(text, 11, 2), minute = DigitsAt(text, 14, 2), second = DigitsAt(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second || *hour > 23 || *minute > 59 ||
      *second > 59) {
    return std::nullopt;
  }
  const year_month_day date{std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                            std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok()) return std::nullopt;
  int fraction = 0;
  const std::string_view rest = text.substr(19, text.size() - 20);
  if (!rest.empty()) {
    if (rest[0] != '.' || rest.size() < 2 || rest.size() > 4) return std::nullopt;
    const std::optional<int> digits = DigitsAt(rest, 1, rest.size() - 1);
    if (!digits) return std::nullopt;
    fraction = *digits;
    for (std::size_t shown = rest.size() - 1; shown < 3; ++shown) fraction *= 10;
  }
  const sys_days days = date;
  return duration_cast<milliseconds>(days.time_since_epoch()).count() +
         ((*hour * 60 + *minute) * 60 + *second) * std::int64_t{1000} + fraction;
}

}  // namespace bb
