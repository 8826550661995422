#include "platform/wall_clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace platform {

LocalTime LocalTimeNow() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const std::int64_t nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  const std::int64_t millis = nanos / 1'000'000;
  // The calendar of the current second is worked out once: the session log
  // asks for every line, and localtime_r costs far more than the clock.
  thread_local LocalTime last = LocalTimeAt(millis);
  thread_local std::int64_t lastSecond = millis / 1000;
  if (millis / 1000 != lastSecond || millis < 0) {
    last = LocalTimeAt(millis);
    lastSecond = millis / 1000;
  } else {
    last.unixMillis = millis;
    last.millisecond = static_cast<int>(millis % 1000);
  }
  last.nanoseconds = millis < 0 ? 0 : static_cast<int>(nanos % 1'000'000);
  return last;
}

LocalTime LocalTimeAt(std::int64_t unixMillis) {
  // Floor division: a time before 1970 still has its milliseconds in 0..999.
  std::int64_t seconds = unixMillis / 1000;
  std::int64_t millis = unixMillis % 1000;
  if (millis < 0) {
    millis += 1000;
    --seconds;
  }
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  LocalTime time;
  time.unixMillis = unixMillis;
  time.year = local.tm_year + 1900;
  time.month = local.tm_mon + 1;
  time.day = local.tm_mday;
  time.hour = local.tm_hour;
  time.minute = local.tm_min;
  time.second = local.tm_sec;
  time.millisecond = static_cast<int>(millis);
  time.utcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
  return time;
}

std::string IsoTimestamp(const LocalTime& time) {
  const int offset = time.utcOffsetMinutes < 0 ? -time.utcOffsetMinutes : time.utcOffsetMinutes;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", time.year,
                time.month, time.day, time.hour, time.minute, time.second, time.millisecond,
                time.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

std::string ClockTimestamp(const LocalTime& time) {
  char text[24];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", time.hour, time.minute, time.second,
                time.millisecond);
  return text;
}

}  // namespace platform
