// The times halvorn-results is given (--since), made comparable with the
// records' own: ISO 8601 in UTC with milliseconds, "2026-12-08T05:57:24.123Z",
// which sort as text in time order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace results {

// The records' form of `text`: "YYYY-MM-DD" (the UTC day's start), "today"
// (the UTC day of `nowSeconds`, seconds since 1970), or a full ISO 8601
// time "YYYY-MM-DDTHH:MM[:SS[.fff]]" with "Z", an offset ("+01:00", "-0500")
// or none (then it is UTC, like every time in the records). Nothing for
// anything else, a date that does not exist among them ("2026-02-30").
std::optional<std::string> ParseSince(std::string_view text, std::int64_t nowSeconds);

// The records' form of a time in seconds since 1970 and its milliseconds.
std::string UtcText(std::int64_t seconds, int milliseconds);

}  // namespace results
