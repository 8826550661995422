// The text of each terminal entry in the five show modes, the expected-value
// check, and the replies of the display directives (SHOWDC, SHOW32, SHOW16,
// SHOW08, SHOWHX, BTMASK), which are answered inside the engine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// Line kinds of a terminal entry.
inline constexpr int kExchangeLine = 1;
inline constexpr int kMessageLine = 2;

// True when `reply` fails the check `expected`. An empty (or blank) expected
// text and an exact match always pass. An expected text with ":" is split
// into fields, each compared (trimmed) with the same field of the reply;
// missing reply fields are empty and every field is compared. Per field the
// first two characters pick the operator, numbers read with ParseNumber:
// "<=", ">=", "==", "*=low|high" (inclusive range), "*=n" (equality),
// "&=n" ((reply AND bitMask) equals n); anything else is a case-sensitive
// text comparison.
bool CheckExpected(std::string_view reply, std::string_view expected, std::int64_t bitMask);

// The exchange time as written into an entry: " (" + milliseconds truncated
// to one decimal + "ms)".
std::string ExchangeTimeText(double seconds);

struct Entry {
  // False for a program comment outside show mode 5: nothing is appended and
  // the exchange time is left as it was.
  bool append = true;
  std::string text;  // CR LF after every line; may be empty
};

// Builds the entry for one command, reply and expected text. `showMode`
// values outside 2..5 format like 1; `position` <= 0 means none.
Entry FormatEntry(std::string_view command, std::string_view reply, std::string_view expected,
                  int lineKind, int position, int showMode, double exchangeTime,
                  std::int64_t bitMask);

// True when `command` is a local directive: exactly "'" or starting with
// SHOWDC, SHOW32, SHOW16, SHOW08, SHOWHX, BTMASK or SETPAR.
bool IsLocalDirective(std::string_view command);

// The reply of SHOWDC, SHOW32, SHOW16, SHOW08, SHOWHX (from a field of
// `lastReply`) and of BTMASK (which may change `bitMask`).
//
// After the six letters come an optional separator character and a field
// digit ("SHOW32.2": field 2, bytes joined by "."). The field of `lastReply`
// (split at ":") is read as a decimal and rounded. SHOW32/SHOW16/SHOW08 give
// 32/16/8 binary digits of its two's-complement bits, in groups of eight
// when a separator is given (not for SHOW08); SHOWHX gives "0x" + 8
// upper-case hexadecimal digits of the low 32 bits; SHOWDC the value with at
// most four rounded decimals and no trailing zeros ("2.5", ".25"), and "0"
// when nothing is left. BTMASK=<number> sets the mask; both forms reply "0x"
// + the mask in upper-case hexadecimal without leading zeros ("0x0", "0x1F").
std::string DisplayDirectiveReply(std::string_view command, std::string_view lastReply,
                                  std::int64_t& bitMask);

}  // namespace engine
