// Numbers in controller traffic: reading them out of text, writing them back
// as text, and the unit expressions such as "(2.5*XS)" that are converted
// before a command is sent.
//
// Nothing here reports an error: text that is not a number reads as 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// Rounds to the nearest integer, ties to even. Values outside the 64-bit range
// (and NaN) give 0.
std::int64_t RoundToInt64(long double value);

// The decimal reading: leading blanks skipped, then an optional sign, digits,
// an optional decimal point with digits and an optional exponent; reading
// stops at the first character that does not fit. No number reads as 0.
double ReadDecimal(std::string_view text);
long double ReadDecimalExtended(std::string_view text);

// Text to a rounded 64-bit integer, with the hexadecimal forms "X1F"/"0X1F"
// and the binary forms "B101"/"0B101" (see numbers.cpp for the width rules).
std::int64_t ParseNumber(std::string_view text);

// Number text: integers as plain digits; other values with at most 15
// significant digits, no trailing zeros and no zero before the point
// (".5", "-.25"); an exponent form when 15 digits do not suffice.
std::string NumberText(long double value);

// The unit code of the first two characters of `text` (axis letter XYZU,
// unit letter USTD, either case): (unit - 1) * 10 + axis, or 0 for no unit.
int UnitCode(std::string_view text);

// The 100 conversion factors filled by SETPAR; all 0 at first. Only the 16
// numbers that are unit codes can be reached.
class UnitTable {
 public:
  long double Factor(int code) const;       // 0 for a number outside 1..100
  void SetFactor(int code, long double value);  // ignored outside 1..100

 private:
  std::array<long double, 101> factors_{};
};

// Rewrites the first parenthesised unit expression of `command` in place, e.g.
// "MOVX=(2.5*XS)" becomes "MOVX=500" when XS holds 200.
void ConvertUnits(std::string& command, const UnitTable& table);

// The reply of the local directive SETPAR (e.g. "SETPARXS=200" or
// "SETPARXS"): the factor after any change, or "ERROR" for an invalid code.
std::string SetParReply(std::string_view command, UnitTable& table);

}  // namespace engine
