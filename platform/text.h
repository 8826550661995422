// The text rules every layer shares, so that each exists once:
//  - trimming removes blanks only (never tabs) unless told which characters;
//  - a UTF-8 byte order mark at the start of a file is no part of its text;
//  - letter case changes only ASCII letters; controller traffic, files and
//    the display are 8-bit text and every other byte passes unchanged;
//  - the decimal reading of a number ("2.5e3 mm" reads 2500);
//  - fields of a separated text (":" reply fields, "|" lists, "," pieces);
//  - the "//" cut of captions ("History//9") and translated texts.
// Nothing here reports an error: text that holds no number reads as 0, a
// field that is not there is empty.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ---------------------------------------------------------------------------
// Trimming and letter case

// Without leading and trailing `characters` (blanks, the character 32, unless
// given: a padded header field trims blanks and NULs). Inline: it runs around
// every command, expected value and reply field.
inline std::string_view TrimmedView(std::string_view text, std::string_view characters = " ") {
  const bool one = characters.size() == 1;
  const std::size_t first =
      one ? text.find_first_not_of(characters[0]) : text.find_first_not_of(characters);
  if (first == std::string_view::npos) return {};
  const std::size_t last =
      one ? text.find_last_not_of(characters[0]) : text.find_last_not_of(characters);
  return text.substr(first, last - first + 1);
}
inline std::string TrimBlanks(std::string_view text) {
  return std::string(TrimmedView(text));
}
// Without a UTF-8 byte order mark at its start: Windows editors put one in
// front of text files, and it belongs to no line or name.
inline std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  return text.substr(0, kMark.size()) == kMark ? text.substr(kMark.size()) : text;
}
// ASCII letters in upper case; every other byte unchanged.
inline char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string ToUpper(std::string_view text);

// The program's 8-bit text read as Latin-1, written as UTF-8: one byte as
// appended to `out`, and a whole text.
inline void AppendLatin1AsUtf8(std::string& out, char latin1) {
  const auto byte = static_cast<unsigned char>(latin1);
  if (byte < 0x80) {
    out += latin1;
  } else {
    out += static_cast<char>(0xC0 | (byte >> 6));
    out += static_cast<char>(0x80 | (byte & 0x3F));
  }
}
std::string Latin1ToUtf8(std::string_view text);
// One line of a NAME=value settings file (AppConfig/*.cfg): blank lines and
// comments ("#" or ";" first) are not lines; a line without "=" has `name`
// empty. `name` is upper case; `name` and `value` are trimmed.
struct SettingLine {
  int number;             // from 1
  std::string_view text;  // the whole line, trimmed
  std::string name;
  std::string_view value;
};
// The lines of `fileText` (CR LF, LF or CR ends; a byte order mark first is
// no part of it); views into `fileText`.
std::vector<SettingLine> SettingLines(std::string_view fileText);

// Equal when compared with ASCII letters in upper case.
bool EqualsNoCase(std::string_view a, std::string_view b);
// A value as one CSV field (RFC 4180): as it is, unless it holds a comma, a
// double quote, CR or LF; then in double quotes, each double quote doubled.
// A value that never needed quotes keeps its bytes.
std::string CsvField(std::string_view value);
// Every occurrence of `from` replaced by `to`, left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// Without any of the characters in `set`.
std::string RemoveChars(std::string_view text, std::string_view set);

// ---------------------------------------------------------------------------
// The decimal reading

// Leading blanks (not tabs) are skipped, then an optional sign, digits, an
// optional decimal point with digits and an optional exponent ("E" or "e",
// counted only when a digit follows: "1e" reads 1); reading stops at the
// first character that does not fit. No number reads as 0, and so does a
// value beyond the range of the result type ("1e400" as a double), so a
// reading is always finite. The process locale plays no part (a window
// library may switch it to one that writes the decimal point as a comma).
// The cost is bounded by the text's length, whatever its digits.
double ReadDecimal(std::string_view text);
// The same in extended precision, which keeps every integer up to 2^64 exact.
long double ReadDecimalExtended(std::string_view text);
// The same reading, with how much of `text` it took (0: no number; the
// leading blanks count) and whether a value read as 0 was too large for a
// double (a value too small for one is 0 and not too large).
template <typename T>
struct DecimalReading {
  T value = 0;
  std::size_t length = 0;
  bool tooLarge = false;
};
DecimalReading<double> ReadDecimalPrefix(std::string_view text);

// A count, a position or an identifier given as text: only the digits 0-9,
// at least one, and a value that fits an int; nothing otherwise (a sign, a
// blank or any other character included).
std::optional<int> ReadWholeNumber(std::string_view text);

// ---------------------------------------------------------------------------
// Fields

// Walks the fields of a text one after the other, so a text of many fields is
// split in one pass. A field ends at any character of `separators`. A text
// with n separators has n + 1 fields (the empty text one empty field); once
// the last has been given, Done() is true and every further field is empty.
// The fields point into `text`, which must outlive the walker.
class FieldWalker {
 public:
  FieldWalker(std::string_view text, std::string_view separators)
      : text_(text), separators_(separators) {}
  std::string_view Next();
  bool Done() const { return done_; }

 private:
  std::string_view text_;
  std::string_view separators_;
  std::size_t position_ = 0;
  bool done_ = false;
};

// Field `number` (counted from 1) of `text`; empty when there is no such field.
std::string_view Field(std::string_view text, char separator, int number);

// The list rule: one item per piece between separators; the empty text is
// no items (so a list and its joined text convert both ways).
std::vector<std::string> SplitFields(std::string_view text, char separator);

// A value as a message shows it: in double quotes, a long one cut short
// with its size ("abc...\" (1048576 bytes)"), so a megabyte argument never
// floods a message.
std::string Quoted(std::string_view value);

// ---------------------------------------------------------------------------
// Captions

// A caption or translated text cut at its FIRST "//": the text shown and what
// follows the mark (an identifier in a caption, modifiers in a translation).
// Without a mark the whole text is shown and `marked` is false.
template <typename Char>
struct CaptionCut {
  std::basic_string_view<Char> text;
  std::basic_string_view<Char> after;
  bool marked = false;
};
CaptionCut<char> CutCaption(std::string_view caption);
CaptionCut<char16_t> CutCaption(std::u16string_view caption);

// The identifier after a caption's mark: the text trimmed of blanks, read as
// leading decimal digits (saturating at the int range, which no caption
// identifier reaches); 0 when there is none or it is not positive.
int CaptionId(std::string_view afterMark);

}  // namespace platform
