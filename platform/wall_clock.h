// The time of day as an operator reads it: the local date and time to the
// millisecond with the offset from UTC in force at that moment. The display's
// time stamps and the session log read it; tests bring their own clock.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct LocalTime {
  std::int64_t unixMillis = 0;  // milliseconds since 1970-01-01T00:00:00Z
  int year = 1970, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int utcOffsetMinutes = 0;  // east of Greenwich positive
  // How far into its millisecond the clock was read, 0 to 999,999: a reader
  // that keeps a stamp for later entries knows how long it holds. 0 for a
  // time given to the millisecond.
  int nanoseconds = 0;
};

// The system's real-time clock, in the local time zone.
LocalTime LocalTimeNow();

// `unixMillis` as the local time of the process's time zone.
LocalTime LocalTimeAt(std::int64_t unixMillis);

// ISO 8601 with milliseconds and the offset: "2026-12-08T14:03:07.045+01:00".
std::string IsoTimestamp(const LocalTime& time);

// "14:03:07.045".
std::string ClockTimestamp(const LocalTime& time);

}  // namespace platform
