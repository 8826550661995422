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

// True when `reply` fails the check `expected` (see reply_format.cpp for the
// operators "<=", ">=", "==", "*=", "&=" and the ":"-separated fields).
// `bitMask` is the mask of the "&=" operator.
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
std::string DisplayDirectiveReply(std::string_view command, std::string_view lastReply,
                                  std::int64_t& bitMask);

}  // namespace engine
