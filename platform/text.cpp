#include "platform/text.h"

#include <charconv>
#include <limits>
#include <system_error>
#include <utility>

namespace platform {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The decimal reader hands at most this many significant digits to the
// converter; a dropped tail that is not all zeros is remembered as one more
// digit "1", so rounding still sees that the value lies above the kept digits.
// This bounds the cost of a reply made of megabytes of digits.
constexpr std::size_t kMaxSignificantDigits = 800;

// Decimal exponents are clamped here while they are read; anything this far
// out is beyond every floating type anyway.
constexpr long long kExponentClamp = 1000000000LL;

// An exponent ("E-5", "e+12") at text[i], added to `exponent`; where the
// reading ends: `i` itself when no exponent with digits stands there.
std::size_t ReadExponent(std::string_view text, std::size_t i, long long& exponent) {
  const std::size_t n = text.size();
  if (i >= n || (text[i] != 'E' && text[i] != 'e')) return i;
  std::size_t j = i + 1;
  bool expNegative = false;
  if (j < n && (text[j] == '+' || text[j] == '-')) {
    expNegative = text[j] == '-';
    ++j;
  }
  if (j >= n || !IsDigit(text[j])) return i;
  long long e = 0;
  while (j < n && IsDigit(text[j])) {
    if (e < kExponentClamp) e = e * 10 + (text[j] - '0');
    ++j;
  }
  exponent += expNegative ? -e : e;
  return j;
}

// `digits` x 10^`exponent` in the precision of T, converted with
// std::from_chars (which ignores the process locale) into `reading`.
template <typename T>
void Convert(std::string digits, long long exponent, bool negative, DecimalReading<T>& reading) {
  // Far outside the range of every type: decide without converting.
  const long long magnitude = exponent + static_cast<long long>(digits.size());
  if (magnitude > 100000 || magnitude < -100000) {
    reading.tooLarge = magnitude > 0;
    return;
  }
  digits.push_back('e');
  digits += std::to_string(exponent);
  T value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  (void)end;
  // A value beyond the range of the type (or so small that it vanishes)
  // reads as 0, like any other text that holds no usable number.
  if (ec != std::errc()) {
    reading.tooLarge = magnitude > 0;
    return;
  }
  reading.value = negative ? -value : value;
}

// The decimal reading in the precision of T. The validated prefix is
// normalised to "<digits>e<exponent>" and converted.
template <typename T>
DecimalReading<T> ReadDecimalAs(std::string_view text) {
  DecimalReading<T> reading;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  std::string digits;      // significant digits, without leading zeros
  long long exponent = 0;  // value = digits x 10^exponent
  bool anyDigit = false;
  bool droppedNonZero = false;
  auto take = [&](char c, bool fraction) {
    anyDigit = true;
    if (digits.empty() && c == '0') {
      if (fraction) --exponent;  // a leading zero after the point
      return;
    }
    if (digits.size() < kMaxSignificantDigits) {
      digits.push_back(c);
      if (fraction) --exponent;
    } else {
      if (!fraction) ++exponent;  // a dropped digit before the point still counts
      if (c != '0') droppedNonZero = true;
    }
  };
  while (i < n && IsDigit(text[i])) take(text[i++], false);
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) take(text[i++], true);
  }
  if (!anyDigit) return reading;

  reading.length = ReadExponent(text, i, exponent);
  if (digits.empty()) return reading;  // zero, in any form
  if (droppedNonZero) {
    digits.push_back('1');
    --exponent;
  }
  Convert(std::move(digits), exponent, negative, reading);
  return reading;
}

template <typename Char>
CaptionCut<Char> Cut(std::basic_string_view<Char> caption) {
  constexpr Char kMark[] = {Char('/'), Char('/')};
  const std::size_t at = caption.find(std::basic_string_view<Char>(kMark, 2));
  if (at == std::basic_string_view<Char>::npos) return {caption, {}, false};
  return {caption.substr(0, at), caption.substr(at + 2), true};
}

}  // namespace

std::string ToUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToUpperAscii(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) return false;
  }
  return true;
}

std::string CsvField(std::string_view value) {
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(value);
  return '"' + ReplaceAll(value, "\"", "\"\"") + '"';
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  std::size_t start = 0;
  for (std::size_t hit = text.find(from); hit != std::string_view::npos;
       hit = text.find(from, start)) {
    out.append(text.substr(start, hit - start));
    out.append(to);
    start = hit + from.size();
  }
  out.append(text.substr(start));
  return out;
}

std::string RemoveChars(std::string_view text, std::string_view set) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (set.find(c) == std::string_view::npos) out += c;
  }
  return out;
}

double ReadDecimal(std::string_view text) {
  return ReadDecimalAs<double>(text).value;
}

long double ReadDecimalExtended(std::string_view text) {
  return ReadDecimalAs<long double>(text).value;
}

DecimalReading<double> ReadDecimalPrefix(std::string_view text) {
  return ReadDecimalAs<double>(text);
}

std::string_view FieldWalker::Next() {
  if (done_) return {};
  // One separator is found with a plain search, which is what most texts use.
  const std::size_t end = separators_.size() == 1 ? text_.find(separators_[0], position_)
                                                  : text_.find_first_of(separators_, position_);
  if (end == std::string_view::npos) {
    done_ = true;
    return text_.substr(position_);
  }
  std::string_view field = text_.substr(position_, end - position_);
  position_ = end + 1;
  return field;
}

std::string_view Field(std::string_view text, char separator, int number) {
  if (number < 1) return {};
  FieldWalker walker(text, std::string_view(&separator, 1));
  std::string_view field = walker.Next();
  for (int i = 1; i < number; ++i) {
    if (walker.Done()) return {};
    field = walker.Next();
  }
  return field;
}

std::vector<std::string> SplitFields(std::string_view text, char separator) {
  std::vector<std::string> fields;
  if (text.empty()) return fields;
  FieldWalker walker(text, std::string_view(&separator, 1));
  while (!walker.Done()) fields.emplace_back(walker.Next());
  return fields;
}

CaptionCut<char> CutCaption(std::string_view caption) {
  return Cut(caption);
}

CaptionCut<char16_t> CutCaption(std::u16string_view caption) {
  return Cut(caption);
}

std::optional<int> ReadWholeNumber(std::string_view text) {
  constexpr int kMax = std::numeric_limits<int>::max();
  if (text.empty()) return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (!IsDigit(c) || n > (kMax - (c - '0')) / 10) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

int CaptionId(std::string_view afterMark) {
  constexpr int kMax = std::numeric_limits<int>::max();
  int id = 0;
  for (char c : TrimmedView(afterMark)) {
    if (!IsDigit(c)) break;
    id = id > (kMax - 9) / 10 ? kMax : id * 10 + (c - '0');
  }
  return id;
}

std::string Quoted(std::string_view value) {
  constexpr std::size_t kShown = 60;
  if (value.size() <= kShown) return "\"" + std::string(value) + "\"";
  return "\"" + std::string(value.substr(0, kShown)) + "...\" (" + std::to_string(value.size()) +
         " bytes)";
}

std::vector<SettingLine> SettingLines(std::string_view fileText) {
  std::vector<SettingLine> lines;
  const std::string_view text = WithoutByteOrderMark(fileText);
  int number = 0;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = TrimmedView(text.substr(start, end - start));
    ++number;
    start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      lines.push_back({number, line, "", {}});
    } else {
      lines.push_back({number, line, ToUpper(TrimmedView(line.substr(0, equals))),
                       TrimmedView(line.substr(equals + 1))});
    }
  }
  return lines;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (const char c : text) AppendLatin1AsUtf8(utf8, c);
  return utf8;
}

}  // namespace platform
