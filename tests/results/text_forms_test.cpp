// The forms halvorn-results reads and writes: --since times, CSV fields,
// JSON strings, table cells.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>

#include "results/output.h"
#include "results/since.h"

namespace {

using results::Cell;

TEST(ResultsSince, DatesAndTimesBecomeTheRecordsUtcForm) {
  const std::int64_t now = 1796709444;  // 2026-12-08T05:57:24Z
  const std::string day = "2026-12-08T00:00:00.000Z";
  using Case = std::pair<const char*, std::optional<std::string>>;
  for (const auto& [text, since] :
       {Case{"2026-12-08", day}, Case{"today", day},
        Case{"2026-12-08T05:57:24.1Z", "2026-12-08T05:57:24.100Z"},
        Case{"2026-12-08T05:57:24.123456Z", "2026-12-08T05:57:24.123Z"},
        Case{"2026-12-08T05:57", "2026-12-08T05:57:00.000Z"},
        Case{"2026-12-08t05:57:24z", "2026-12-08T05:57:24.000Z"},
        Case{"2026-12-08T00:30:00+0100", "2026-12-07T23:30:00.000Z"},
        Case{"2026-12-31T23:30:00-01:00", "2027-01-01T00:30:00.000Z"},
        Case{"2000-02-29", "2000-02-29T00:00:00.000Z"},
        Case{"2024-02-29", "2024-02-29T00:00:00.000Z"},
        // Not a day of the calendar, not a time of the day, not the form.
        Case{"2100-02-29", std::nullopt}, Case{"2026-04-31", std::nullopt},
        Case{"2026-00-10", std::nullopt}, Case{"2026-13-01", std::nullopt},
        Case{"2026-12-08T24:00", std::nullopt}, Case{"2026-12-08T23:60", std::nullopt},
        Case{"2026-12-08T05:57:24.", std::nullopt}, Case{"2026-12-08T05:57:24+1", std::nullopt},
        Case{"2026-12-08T05:57:24+01:", std::nullopt},
        Case{"2026-12-08T05:57:24Zjunk", std::nullopt}, Case{"2026-12-08 05:57", std::nullopt},
        Case{"2026-12-8", std::nullopt}, Case{"Today", std::nullopt}, Case{"", std::nullopt}}) {
    EXPECT_EQ(results::ParseSince(text, now), since) << text;
  }
}

TEST(ResultsOutput, JsonStringsEscapeControlBytesAndKeepOnlyValidUtf8) {
  using Case = std::pair<std::string, std::string>;
  for (const auto& [text, json] :
       {Case{"q\"b\\", R"("q\"b\\")"}, Case{"\n\r\t", R"("\n\r\t")"},
        Case{std::string("\x00\x01\x1f\x7f", 4), R"("\u0000\u0001\u001f\u007f")"},
        Case{"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},
        // A Latin-1 byte, a lone continuation byte, a cut sequence, an
        // overlong form, a surrogate, beyond U+10FFFF: each invalid byte is U+FFFD.
        Case{"\xe9", R"("\ufffd")"}, Case{"\x80x", R"("\ufffdx")"},
        Case{"\xe2\x82", R"("\ufffd\ufffd")"}, Case{"\xc0\xaf", R"("\ufffd\ufffd")"},
        Case{"\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")"},
        Case{"\xf4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"}}) {
    EXPECT_EQ(results::JsonString(text), json) << json;
  }
}

TEST(ResultsOutput, ATableCellShowsWhatWouldCommandTheTerminal) {
  using Case = std::pair<std::string, std::string>;
  for (const auto& [text, shown] :
       {Case{"plain \xc3\xa9\xe2\x82\xac", "plain \xc3\xa9\xe2\x82\xac"},
        Case{std::string("\x1b[2J\0\n\x7f", 7), "^[[2J^@^J^?"},
        Case{"\xc2\x9b"
             "2J \xc2\x80 \xc2\xa0",
             "\\x9B2J \\x80 \xc2\xa0"},
        Case{"\x9b\xff\xe2\x82", "\\x9B\\xFF\\xE2\\x82"}}) {
    EXPECT_EQ(results::Visible(text), shown) << shown;
  }
}

TEST(ResultsOutput, ATableAlignsColumnsByCharactersNotBytes) {
  std::ostringstream out;
  results::Output table(out, results::Format::Table, {"name", "n", "note"});
  table.Row({Cell::Text("\xc3\xa9t\xc3\xa9"), Cell::Number(12), Cell::Text("a\tb")});
  table.Row({Cell::Text("longer"), Cell::Null(), Cell::Text("")});
  table.Finish();
  EXPECT_EQ(out.str(),
            "name    n   note\n"
            "\xc3\xa9t\xc3\xa9     12  a^Ib\n"
            "longer\n");
}

}  // namespace
