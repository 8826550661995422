// Numbers in controller traffic: reading them out of text, writing them back
// as text, and the unit expressions such as "(2.5*XS)" that are converted
// before a command is sent.
//
// Nothing here reports an error: text that is not a number reads as 0. The
// decimal reading itself (platform::ReadDecimal) is shared with every layer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// Rounds to the nearest integer, ties to even. Values outside the 64-bit range
// (and NaN) give 0.
std::int64_t RoundToInt64(long double value);

// Text to a rounded 64-bit integer. Every "=" counts as a blank; the text is
// trimmed and upper-cased. "X1F"/"0X1F" are hexadecimal and "B101"/"0B101"
// binary, read up to the first character that is not a digit of the base:
// up to 15 hexadecimal or 31 binary digits are never negative
// (XFFFFFFFF is 4294967295), exactly 32 binary digits starting with 1 are a
// 32-bit two's-complement value (32 ones are -1), and longer forms give their
// 64-bit pattern (sixteen F is -1). A value whose significant bits do not fit
// in 64 bits reads as 0. Anything else is the decimal reading (in extended
// precision) rounded with RoundToInt64, so 2.5 gives 2 and 3.5 gives 4.
std::int64_t ParseNumber(std::string_view text);

// Number text: integers of the 64-bit range as plain digits ("-12"); other
// values with at most 15 significant digits, no trailing zeros and no zero
// before the point (".5", "-.25", "12.3"). Values below 0.0001 in magnitude,
// and those that need more than 15 digits before the point, use an exponent
// form: mantissa + "E" + sign + at least two digits ("1E+20", "-2.5E-05").
// Infinities and NaN, which no reading produces, give "INF", "-INF", "NAN".
std::string NumberText(long double value);

// The unit code of the first two characters of `text` (axis letter XYZU,
// unit letter USTD, either case): (unit - 1) * 10 + axis, or 0 for no unit.
int UnitCode(std::string_view text);

// The 100 conversion factors filled by SETPAR; all 0 at first. Only the 16
// numbers that are unit codes can be reached.
class UnitTable {
 public:
  long double Factor(int code) const;           // 0 for a number outside 1..100
  void SetFactor(int code, long double value);  // ignored outside 1..100

 private:
  std::array<long double, 101> factors_{};
};

// Rewrites the first parenthesised unit expression of `command` in place, e.g.
// "MOVX=(2.5*XS)" becomes "MOVX=500" when XS holds 200. Only the first "("
// and the first ")" count; nothing changes when either is missing, when ")"
// comes first, or when the group holds neither "*" nor "/". With a unit the
// result is rounded (ties to even; a T unit is first multiplied by 25.4 when
// the axis's U entry is not 0; dividing by a factor of 0 keeps the amount);
// with no valid unit the amount is written as it is ("(1.5*QQ)" -> "1.5").
void ConvertUnits(std::string& command, const UnitTable& table);

// The reply of the local directive SETPAR (e.g. "SETPARXS=200" or
// "SETPARXS"): the factor after any change as number text, or "ERROR" when
// the two characters right after SETPAR are not a unit code.
std::string SetParReply(std::string_view command, UnitTable& table);

}  // namespace engine
