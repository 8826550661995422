#include "results/since.h"

#include <cstdio>

namespace results {

namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

int DaysInMonth(std::int64_t y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

// Reads exactly `count` digits at `at` into `value`.
bool Digits(std::string_view text, std::size_t& at, std::size_t count, int& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = text[at + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  at += count;
  return true;
}

bool Expect(std::string_view text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

}  // namespace

std::string UtcText(std::int64_t seconds, int milliseconds) {
  std::int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  std::int64_t y = 0;
  int m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ",
                static_cast<long long>(y), m, d, static_cast<int>(rest / 3600),
                static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60), milliseconds);
  return text;
}

std::optional<std::string> ParseSince(std::string_view text, std::int64_t nowSeconds) {
  if (text == "today") {
    const std::int64_t day = (nowSeconds >= 0 ? nowSeconds : nowSeconds - 86399) / 86400;
    return UtcText(day * 86400, 0);
  }
  std::size_t at = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millis = 0;
  if (!Digits(text, at, 4, year) || !Expect(text, at, '-') || !Digits(text, at, 2, month) ||
      !Expect(text, at, '-') || !Digits(text, at, 2, day)) {
    return std::nullopt;
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  int offsetMinutes = 0;
  if (at < text.size()) {
    if (text[at] != 'T' && text[at] != 't') return std::nullopt;
    ++at;
    if (!Digits(text, at, 2, hour) || !Expect(text, at, ':') || !Digits(text, at, 2, minute))
      return std::nullopt;
    if (at < text.size() && text[at] == ':') {
      ++at;
      if (!Digits(text, at, 2, second)) return std::nullopt;
      if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        int digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
          if (digits < 3) millis = millis * 10 + (text[at] - '0');
        }
        if (digits == 0) return std::nullopt;
        for (; digits < 3; ++digits) millis *= 10;
      }
    }
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    if (at < text.size() && (text[at] == 'Z' || text[at] == 'z')) {
      ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
      const int sign = text[at] == '-' ? -1 : 1;
      ++at;
      int hours = 0, minutes = 0;
      if (!Digits(text, at, 2, hours)) return std::nullopt;
      // "+01", "+0100" or "+01:00".
      const bool colon = at < text.size() && text[at] == ':';
      if (colon) ++at;
      if ((colon || at < text.size()) && !Digits(text, at, 2, minutes)) return std::nullopt;
      if (hours > 23 || minutes > 59) return std::nullopt;
      offsetMinutes = sign * (hours * 60 + minutes);
    }
    if (at != text.size()) return std::nullopt;
  }
  const std::int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 +
                               second - offsetMinutes * 60;
  return UtcText(seconds, millis);
}

}  // namespace results
