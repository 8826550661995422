#include "engine/reply_format.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <system_error>

#include "engine/numbers.h"
#include "platform/text.h"

namespace engine {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// One reply field against one expected field; true when the check fails.
bool FieldFails(std::string_view reply, std::string_view expected, std::int64_t bitMask) {
  const std::string op = platform::ToUpper(expected.substr(0, 2));
  const std::string_view rest =
      platform::TrimmedView(expected.substr(expected.size() < 2 ? expected.size() : 2));
  if (op == "<=") return ParseNumber(reply) > ParseNumber(rest);
  if (op == ">=") return ParseNumber(reply) < ParseNumber(rest);
  if (op == "==") return ParseNumber(reply) != ParseNumber(rest);
  if (op == "*=") {
    const std::size_t bar = expected.find('|');
    if (bar == std::string_view::npos) return ParseNumber(reply) != ParseNumber(rest);
    const std::int64_t value = ParseNumber(reply);
    const std::int64_t low = ParseNumber(platform::TrimmedView(expected.substr(2, bar - 2)));
    const std::int64_t high = ParseNumber(platform::TrimmedView(expected.substr(bar + 1)));
    return value < low || value > high;
  }
  if (op == "&=") return (ParseNumber(reply) & bitMask) != ParseNumber(rest);
  return reply != expected;
}

// `count` low bits of `value` as binary digits, most significant first.
std::string BinaryDigits(std::uint64_t value, int count) {
  std::string out(static_cast<std::size_t>(count), '0');
  for (int i = 0; i < count; ++i) {
    if ((value >> i) & 1U) out[static_cast<std::size_t>(count - 1 - i)] = '1';
  }
  return out;
}

// The low `bytes` bytes of `value` as groups of eight binary digits, most
// significant first, joined by `separator`.
std::string ByteGroups(std::uint64_t value, int bytes, char separator) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) {
    out += BinaryDigits(value >> (8 * i), 8);
    if (i > 0) out.push_back(separator);
  }
  return out;
}

std::string HexDigits(std::uint64_t value, int minDigits) {
  char buf[17];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, 16);
  (void)ec;
  std::string out(buf, end);
  for (char& c : out) c = platform::ToUpperAscii(c);
  if (static_cast<int>(out.size()) < minDigits) {
    out.insert(0, static_cast<std::size_t>(minDigits) - out.size(), '0');
  }
  return out;
}

// The picture "##############.####": at most four fractional digits, rounded,
// no leading zero before the point, no trailing fractional zeros and no final
// point. The picture has no mandatory digit, so a value that shows no digit
// at all (0, or anything that rounds to it) is written "0".
std::string DecimalPicture(double value) {
  if (!std::isfinite(value)) return "0";
  char buf[400];  // the largest double has 309 integer digits
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 4);
  if (ec != std::errc()) return "0";
  std::string text(buf, end);
  bool negative = !text.empty() && text.front() == '-';
  if (negative) text.erase(0, 1);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  std::size_t nonZero = text.find_first_not_of('0');
  text.erase(0, nonZero == std::string::npos ? text.size() : nonZero);
  if (text.empty()) return "0";
  return negative ? "-" + text : text;
}

// The digit value of one character, 0 for anything else.
int DigitOf(std::string_view text, std::size_t index) {
  if (index >= text.size() || text[index] < '0' || text[index] > '9') return 0;
  return text[index] - '0';
}

}  // namespace

bool CheckExpected(std::string_view reply, std::string_view expected, std::int64_t bitMask) {
  if (platform::TrimmedView(expected).empty()) return false;
  if (reply == expected) return false;
  if (expected.find(':') == std::string_view::npos) return FieldFails(reply, expected, bitMask);
  platform::FieldWalker expectedFields(expected, ":");
  platform::FieldWalker replyFields(reply, ":");
  bool failed = false;
  while (!expectedFields.Done()) {
    std::string_view e = platform::TrimmedView(expectedFields.Next());
    std::string_view r = platform::TrimmedView(replyFields.Next());
    if (FieldFails(r, e, bitMask)) failed = true;
  }
  return failed;
}

std::string ExchangeTimeText(double seconds) {
  const double tenths = std::trunc(10000.0 * seconds);
  return " (" + NumberText(tenths / 10.0) + "ms)";
}

Entry FormatEntry(std::string_view command, std::string_view reply, std::string_view expected,
                  int lineKind, int position, int showMode, double exchangeTime,
                  std::int64_t bitMask) {
  Entry entry;
  const std::string_view exp = platform::TrimmedView(expected);
  const bool comment = command == "'";
  if (comment && showMode != 5) {
    entry.append = false;
    return entry;
  }

  std::string prefix;
  if (position > 0) {
    std::string digits = "000000" + std::to_string(position);
    prefix = "! " + digits.substr(digits.size() - 6) + ": ";
  }

  bool failing = false;
  if (!exp.empty()) failing = comment || CheckExpected(reply, exp, bitMask);

  std::string& text = entry.text;
  if (lineKind != kExchangeLine) {
    text.append(command).append(kLineEnd);
    return entry;
  }

  if (comment) {
    // Show mode 5 only; the comment text travels in the expected text.
    if (failing) text.append("  <").append(exp).append(">").append(kLineEnd);
    return entry;
  }

  const std::string time = ExchangeTimeText(exchangeTime);
  switch (showMode) {
    case 2:
      text.append(" >> ").append(command).append("    Reply: ").append(reply).append(time);
      text.append(kLineEnd);
      if (failing) {
        text.append("!!  ").append(command.size(), ' ').append(" Expected: ").append(exp);
        text.append(kLineEnd);
      }
      break;
    case 3:
      if (failing) {
        text.append("! ").append(command).append(" (").append(reply).append(") [").append(exp);
        text.append("]").append(time).append(kLineEnd);
      } else {
        text.append("  ").append(command).append(" (").append(reply).append(")").append(time);
        text.append(kLineEnd);
      }
      break;
    case 4:
    case 5:
      if (failing) {
        text.append(prefix).append(reply).append(" [").append(exp).append("]").append(time);
        text.append(kLineEnd);
      }
      break;
    default:
      text.append(" >> ").append(command).append(kLineEnd);
      text.append("      Reply: ").append(reply).append(time).append(kLineEnd);
      if (failing) text.append("!! Expected: ").append(exp).append(kLineEnd);
      break;
  }
  return entry;
}

bool IsLocalDirective(std::string_view command) {
  if (command == "'") return true;
  static constexpr std::string_view kNames[] = {"SHOWDC", "SHOW32", "SHOW16", "SHOW08",
                                                "SHOWHX", "BTMASK", "SETPAR"};
  const std::string_view head = command.substr(0, 6);
  for (std::string_view name : kNames) {
    if (head == name) return true;
  }
  return false;
}

std::string DisplayDirectiveReply(std::string_view command, std::string_view lastReply,
                                  std::int64_t& bitMask) {
  if (command.substr(0, 6) == "BTMASK") {
    if (command.size() > 6 && command[6] == '=') {
      bitMask = ParseNumber(platform::ToUpper(platform::TrimmedView(command.substr(7))));
    }
    return "0x" + HexDigits(static_cast<std::uint64_t>(bitMask), 1);
  }

  const std::string_view widthText = command.substr(command.size() < 4 ? command.size() : 4, 2);
  const int width = static_cast<int>(RoundToInt64(platform::ReadDecimal(widthText)));
  const std::string_view argument =
      platform::TrimmedView(command.substr(command.size() < 6 ? command.size() : 6));
  const bool hasSeparator = !argument.empty();
  const char separator = hasSeparator ? argument[0] : '\0';
  int fieldNumber = DigitOf(argument, 1);
  if (fieldNumber == 0) fieldNumber = 1;

  const double value =
      platform::ReadDecimal(platform::TrimmedView(platform::Field(lastReply, ':', fieldNumber)));
  const std::int64_t integer = RoundToInt64(value);
  // Every form shows the two's-complement bits of the value. The grouped
  // forms take their bytes from the same bits as the plain forms, so a
  // negative value shows the same digits with or without a separator.
  const auto bits = static_cast<std::uint64_t>(integer);

  switch (width) {
    case 32:
      return hasSeparator ? ByteGroups(bits, 4, separator) : BinaryDigits(bits, 32);
    case 16: {
      // The remainder keeps the sign, which leaves the low 16 bits unchanged.
      const auto low = static_cast<std::uint64_t>(integer % 65536);
      return hasSeparator ? ByteGroups(low, 2, separator) : BinaryDigits(low, 16);
    }
    case 8:
      return BinaryDigits(static_cast<std::uint64_t>(integer % 256), 8);
    default:
      break;
  }
  if (platform::TrimmedView(command.substr(command.size() < 4 ? command.size() : 4, 2)) == "DC") {
    return DecimalPicture(value);
  }
  return "0x" + HexDigits(bits & 0xFFFFFFFFULL, 8);
}

}  // namespace engine
