#include "platform/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <tuple>

namespace {

using platform::ReadDecimal;
using Strings = std::vector<std::string>;
const auto Rep = [](char c, int n) { return std::string(static_cast<std::size_t>(n), c); };

TEST(ReadDecimal, ReadsTheLongestNumberAtTheStart) {
  const std::pair<const char*, double> cases[] = {
      {"1e5", 1e5}, {"1E5", 1e5},   {"1e", 1},      {"1e+", 1}, {"2.5e-1x", .25},
      {".", 0},     {"-.25", -.25}, {"+7", 7},      {"abc", 0}, {"   42 ", 42},
      {"\t42", 0},  {"e5", 0},      {"12:345", 12}, {"1,5", 1}, {"3.5.6", 3.5},
      {"1e400", 0}, {"1e-400", 0},  {"-", 0},       {"", 0},    {"nan", 0},
  };
  for (auto [text, expected] : cases) EXPECT_EQ(ReadDecimal(text), expected) << text;
  EXPECT_EQ(ReadDecimal(Rep('9', 100)), 1e100);
  EXPECT_EQ(ReadDecimal("1." + Rep('0', 1 << 20) + "1"), 1.0);
  EXPECT_EQ(ReadDecimal("0." + Rep('0', 1 << 20) + "5"), 0.0);
  // A tie at the kept precision is pushed up by a non-zero digit far behind.
  EXPECT_EQ(ReadDecimal("9007199254740993." + Rep('0', 900) + "1"), 9007199254740994.0);
  EXPECT_EQ(platform::ReadDecimalExtended("9007199254740993"), 9007199254740993.0L);
  EXPECT_EQ(platform::ReadDecimalExtended("1e400"), 1e400L);
  EXPECT_EQ(platform::ReadDecimalExtended(Rep('7', 4 << 20)), 0);  // beyond every range
}

TEST(ReadDecimal, IgnoresALocaleWithADecimalComma) {
  const char* chosen = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (chosen == nullptr) chosen = std::setlocale(LC_NUMERIC, name);
  }
  if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const double read = ReadDecimal("2.5");
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(read, 2.5);
}

// The empty text is one field to a walk, none to the list rule; Field counts from 1.
TEST(Fields, TheEmptyTextAndTheEndsOfTheCount) {
  platform::FieldWalker walker("", ":");
  EXPECT_EQ(walker.Next(), "");
  EXPECT_TRUE(walker.Done());
  EXPECT_EQ(platform::SplitFields("|x|", '|'), (Strings{"", "x", ""}));
  EXPECT_EQ(std::pair(platform::Field("12: 345 ", ':', 0), platform::Field("12: 345 ", ':', 2)),
            std::pair(std::string_view(), std::string_view(" 345 ")));
}

// The first "//" cuts, as language files and form captions both need it.
TEST(Captions, CutAtTheFirstMarkWithTheIdentifierAfterIt) {
  using Case = std::tuple<std::string, int, bool>;
  for (const auto& [caption, id, marked] :
       {Case{"Enter Commands below:// 4", 4, true}, Case{"http://host//20", 0, true},
        Case{"Text//12ab", 12, true}, Case{"Text//-3", 0, true},
        Case{"Big//99999999999999", 2147483647, true}, Case{"No identifier", 0, false}}) {
    const platform::CaptionCut<char> cut = platform::CutCaption(caption);
    EXPECT_EQ(std::tuple(std::string(cut.text), platform::CaptionId(cut.after), cut.marked),
              std::tuple(caption.substr(0, caption.find("//")), id, marked));
  }
  EXPECT_EQ(platform::CutCaption(u"Verlauf//+2B//x").after, u"+2B//x");
}

// CSV fields are quoted only when they need it.
TEST(Text, CsvFieldsQuoteOnlyWhatNeedsIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"plain", "plain"},   {"", ""},
      {"a,b", "\"a,b\""},   {"a\"b", "\"a\"\"b\""},
      {"a\nb", "\"a\nb\""}, {"a\rb", "\"a\rb\""},
  };
  for (auto [text, field] : cases) EXPECT_EQ(platform::CsvField(text), field) << text;
}

TEST(Text, TrimAndCaseTouchOnlyBlanksAndAsciiLetters) {
  EXPECT_EQ(platform::TrimmedView(" \t a b \t "), "\t a b \t");
  EXPECT_EQ(platform::TrimmedView(std::string_view(" x\0\0", 4), std::string_view(" \0", 2)), "x");
  EXPECT_EQ(platform::ToUpper("ab\xe9z"), "AB\xe9Z");
  EXPECT_FALSE(platform::EqualsNoCase("\xe9", "\xc9"));  // no case beyond ASCII
}

}  // namespace
