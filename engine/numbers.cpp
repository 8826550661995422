#include "engine/numbers.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <system_error>

#include "platform/text.h"

namespace engine {
namespace {

// 2 to the power 63: the first magnitude outside the signed 64-bit range. It
// is exact in every floating type the engine uses.
constexpr long double kInt64Limit = 9223372036854775808.0L;

// Digits of a hexadecimal or binary form as read so far.
struct RadixValue {
  std::uint64_t bits = 0;
  std::size_t count = 0;  // digits read, the "0" put in front included
  int first = -1;         // value of the first digit read, -1 when none
};

// The value of an upper-case digit in `base` (2 or 16), -1 for anything else.
int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') {
    v = c - '0';
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  }
  return v < base ? v : -1;
}

// Reads digits of base 2^bitsPerDigit from `digits` up to the first character
// that is not such a digit. `padded` says a "0" was put in front (the digits
// text was shorter than the full width). Returns false as soon as the
// significant bits no longer fit in 64 bits.
bool ReadRadix(std::string_view digits, int bitsPerDigit, bool padded, RadixValue& out) {
  const int base = 1 << bitsPerDigit;
  if (padded) {
    out.count = 1;
    out.first = 0;
  }
  for (char c : digits) {
    int d = DigitValue(c, base);
    if (d < 0) break;
    if (out.first < 0) out.first = d;
    ++out.count;
    if ((out.bits >> (64 - bitsPerDigit)) != 0) return false;
    out.bits = (out.bits << bitsPerDigit) | static_cast<std::uint64_t>(d);
  }
  return true;
}

// Hexadecimal: fewer than 16 digit characters get a "0" in front, so a short
// value is never negative; 16 or more digits give their 64-bit pattern as a
// two's-complement value (sixteen F is -1). Leading zeros do not count
// against the width, so "X" with 40 digits is read when its value fits in 64
// bits; otherwise it reads as 0.
std::int64_t ParseHex(std::string_view digits) {
  RadixValue v;
  if (!ReadRadix(digits, 4, digits.size() < 16, v)) return 0;
  return static_cast<std::int64_t>(v.bits);
}

// Binary: fewer than 32 digit characters get a "0" in front. Exactly 32 digits
// read with a leading 1 are a 32-bit two's-complement value (32 ones are -1);
// other lengths give their 64-bit pattern, and 0 when it does not fit.
std::int64_t ParseBinary(std::string_view digits) {
  RadixValue v;
  if (!ReadRadix(digits, 1, digits.size() < 32, v)) return 0;
  if (v.count == 32 && v.first == 1) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v.bits));
  }
  return static_cast<std::int64_t>(v.bits);
}

// Mantissa digits and decimal exponent of `value` rounded to 15 significant
// digits, trailing zeros removed: value ~ d.ddd x 10^exponent.
void SignificantDigits(long double value, std::string& digits, int& exponent, bool& negative) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view s(buf, ec == std::errc() ? static_cast<std::size_t>(end - buf) : 0);
  negative = !s.empty() && s.front() == '-';
  if (negative) s.remove_prefix(1);
  std::size_t e = s.find('e');
  digits.clear();
  for (char c : s.substr(0, e)) {
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view rest = s.substr(e + 1);
    bool expNegative = !rest.empty() && rest.front() == '-';
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) rest.remove_prefix(1);
    for (char c : rest) exponent = exponent * 10 + (c - '0');
    if (expNegative) exponent = -exponent;
  }
}

}  // namespace

std::int64_t RoundToInt64(long double value) {
  if (!std::isfinite(value)) return 0;
  long double r = std::round(value);  // halves away from zero
  if (std::fabs(r - value) == 0.5L && std::fmod(r, 2.0L) != 0) {
    r -= std::copysign(1.0L, value);  // a tie goes to the even neighbour
  }
  if (r >= kInt64Limit || r < -kInt64Limit) return 0;
  return static_cast<std::int64_t>(r);
}

std::int64_t ParseNumber(std::string_view text) {
  std::string t(text);
  for (char& c : t) {
    if (c == '=') c = ' ';
  }
  t = platform::ToUpper(platform::TrimmedView(t));
  std::string_view v(t);
  if (v.starts_with("X")) return ParseHex(v.substr(1));
  if (v.starts_with("0X")) return ParseHex(v.substr(2));
  if (v.starts_with("B")) return ParseBinary(v.substr(1));
  if (v.starts_with("0B")) return ParseBinary(v.substr(2));
  // Extended precision keeps every integer up to 2^64 exact.
  return RoundToInt64(platform::ReadDecimalExtended(v));
}

// Integers in the 64-bit range are written in full. Other finite values get
// 15 significant digits, positionally when the decimal exponent lies in
// -5 < exponent < 15 (".0001", "123.456"), otherwise as mantissa + "E" + sign
// + at least two exponent digits ("1E+20", "-2.5E-07"). Infinities and NaN,
// which no reading produces, are written "INF", "-INF" and "NAN".
std::string NumberText(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == std::trunc(value) && value >= -kInt64Limit && value < kInt64Limit) {
    return std::to_string(static_cast<std::int64_t>(value));
  }
  std::string digits;
  int exponent = 0;
  bool negative = false;
  SignificantDigits(value, digits, exponent, negative);
  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -4) {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += exponent < 0 ? "E-" : "E+";
    std::string e = std::to_string(exponent < 0 ? -exponent : exponent);
    if (e.size() < 2) e.insert(0, "0");
    return out + e;
  }
  if (exponent < 0) {
    out += ".";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    return out + digits;
  }
  const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= whole) {
    return out + digits + std::string(whole - digits.size(), '0');
  }
  return out + digits.substr(0, whole) + "." + digits.substr(whole);
}

int UnitCode(std::string_view text) {
  static constexpr std::string_view kAxes = "XYZU";
  static constexpr std::string_view kUnits = "USTD";
  if (text.size() < 2) {
    // An empty text has no axis; a single letter has no unit.
    return 0;
  }
  std::size_t axis = kAxes.find(platform::ToUpperAscii(text[0]));
  std::size_t unit = kUnits.find(platform::ToUpperAscii(text[1]));
  if (axis == std::string_view::npos || unit == std::string_view::npos) return 0;
  return static_cast<int>(unit) * 10 + static_cast<int>(axis) + 1;
}

long double UnitTable::Factor(int code) const {
  if (code < 1 || code > 100) return 0;
  return factors_[static_cast<std::size_t>(code)];
}

void UnitTable::SetFactor(int code, long double value) {
  if (code < 1 || code > 100) return;
  factors_[static_cast<std::size_t>(code)] = value;
}

void ConvertUnits(std::string& command, const UnitTable& table) {
  const std::size_t open = command.find('(');
  const std::size_t close = command.find(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return;

  std::string_view inner = std::string_view(command).substr(open + 1, close - open - 1);
  bool divide = false;
  std::size_t op = inner.find('*');
  if (op == std::string_view::npos) {
    op = inner.find('/');
    divide = true;
  }
  if (op == std::string_view::npos) return;

  long double amount = platform::ReadDecimalExtended(platform::TrimmedView(inner.substr(0, op)));
  const int code = UnitCode(platform::ToUpper(platform::TrimmedView(inner.substr(op + 1))));
  std::string replacement;
  if (code == 0) {
    replacement = NumberText(amount);
  } else {
    const int axis = code % 10;
    const int unit = code / 10 + 1;
    if (unit == 3 && table.Factor(axis) != 0) {
      // The inch switch: 25.4 as the single-precision constant it has always
      // been, so existing conversions keep their exact results.
      amount *= static_cast<long double>(25.4f);
    }
    const long double factor = table.Factor(code);
    long double result = amount;
    if (!divide) {
      result = amount * factor;
    } else if (factor != 0) {
      result = amount / factor;
    }
    replacement = NumberText(static_cast<long double>(RoundToInt64(result)));
  }
  command = command.substr(0, open) + replacement + command.substr(close + 1);
}

std::string SetParReply(std::string_view command, UnitTable& table) {
  const int code = command.size() > 6 ? UnitCode(command.substr(6, 2)) : 0;
  if (code == 0) return "ERROR";
  if (command.size() > 8 && command[8] == '=') {
    std::string value = platform::ToUpper(platform::TrimmedView(command.substr(9)));
    if (value.starts_with(".")) value.insert(0, "0");
    table.SetFactor(code, platform::ReadDecimalExtended(value));
  }
  return NumberText(table.Factor(code));
}

}  // namespace engine
